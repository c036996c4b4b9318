#include "shell/RecentFileList.h"

#include <QDir>

#include "app/CRegistry.h"

namespace {
QString ValueName(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}
QString Clean(const QString& path) {
    return QDir::cleanPath(QDir().absoluteFilePath(path));
}
}  // namespace

void RecentFileList::Add(const QString& path) {
    const QString clean = Clean(path);
    m_paths.removeIf([&clean](const QString& listed) { return Clean(listed) == clean; });
    m_paths.prepend(clean);
    while (m_paths.size() > kSize)
        m_paths.removeLast();
}

void RecentFileList::Remove(int index) {
    if (index >= 0 && index < m_paths.size())
        m_paths.removeAt(index);
}

void RecentFileList::Load(const RegistryStore& store) {
    m_paths.clear();
    CRegistry reg(store);
    if (!reg.Open(CRegistry::HKEY_CURRENT_USER, QString::fromLatin1(kKeyPath)))
        return;
    for (int i = 0; i < kSize; ++i) {
        QByteArray path;
        if (reg.ReadString(ValueName(i), path) && !path.isEmpty())
            m_paths.append(QString::fromLocal8Bit(path));
    }
}

bool RecentFileList::Save(const RegistryStore& store) const {
    CRegistry reg(store);
    if (!reg.OpenAndCreate(CRegistry::HKEY_CURRENT_USER, QString(), QString::fromLatin1(kKeyPath)))
        return false;
    bool ok = true;
    for (int i = 0; i < kSize; ++i)
        ok = reg.WriteString(ValueName(i),
                             i < m_paths.size() ? m_paths[i].toLocal8Bit() : QByteArray()) &&
             ok;
    return ok;
}
