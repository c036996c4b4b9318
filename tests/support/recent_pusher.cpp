// Pushes numbered entries onto a recent list: the other half of the test that two processes
// updating one list never lose each other's entries.
#include <QCoreApplication>

#include "addressbook/AddressBook.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    int failures = 0;
    for (int i = 0; i < args[3].toInt(); ++i) {
        const AddressEntry entry{args[2] + QString::number(i), QStringLiteral("host"), 6001};
        if (!PushRecentEntry(args[1], QStringLiteral("LS.add"), QStringLiteral("Last Senders"),
                             entry))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
