// Writes numbered values into a settings store, one CRegistry write each: the other half of
// the test that two writer processes never lose each other's values.
#include <QCoreApplication>

#include "app/CRegistry.h"
#include "platform/RegistryStore.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const RegistryStore store(args[1]);
    const QString prefix = args[2];
    const int count = args[3].toInt();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        CRegistry reg(store);
        if (!reg.OpenAndCreate(CRegistry::HKEY_CURRENT_USER, QString(),
                               QStringLiteral("Software\\Race")) ||
            !reg.WriteNumber(prefix + QString::number(i), static_cast<quint32>(i)))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
