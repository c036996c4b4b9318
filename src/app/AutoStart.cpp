#include "app/AutoStart.h"

#include <QCoreApplication>

#include "app/CRegistry.h"
#include "platform/XdgAutostart.h"

namespace {

QString RunOnceKeyPath() {
    return QString::fromLatin1(AutoStart::kRunOnceParent) + QLatin1Char('\\') +
           QString::fromLatin1(AutoStart::kRunOnceKey);
}

}  // namespace

AutoStart::AutoStart(const QString& name, const RegistryStore& store)
    : m_strName(name), m_store(store) {}

bool AutoStart::Register() {
    CRegistry reg(m_store);
    const QString failure =
        QStringLiteral("%1:HKEY_CURRENT_USER\\%2\\%3")
            .arg(QString(), QString::fromLatin1(kRunOnceParent), QString::fromLatin1(kRunOnceKey));
    // Made with every key above it: a fresh store has none of them.
    if (!reg.OpenAndCreate(CRegistry::HKEY_CURRENT_USER, QString(), RunOnceKeyPath())) {
        m_strError = reg.ErrorText() + failure;
        return false;
    }
    const QString executable = QCoreApplication::applicationFilePath();
    if (!reg.WriteString(m_strName, executable.toLocal8Bit())) {
        m_strError = reg.ErrorText() + failure;
        return false;
    }
    reg.Close();
    return XdgAutostart::WriteRunOnce(m_strName, executable, &m_strError);
}

void AutoStart::Unregister(const QString& name, const RegistryStore& store) {
    XdgAutostart::RemoveRunOnce();
    CRegistry reg(store);
    if (reg.Open(CRegistry::HKEY_CURRENT_USER, RunOnceKeyPath()))
        reg.DeleteValue(name);
}
