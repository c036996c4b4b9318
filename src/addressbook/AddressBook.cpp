#include "addressbook/AddressBook.h"

#include "platform/AtomicFile.h"

bool CreateAddressBook(const QString& path, const QString& description) {
    return AtomicFile::Write(path, description.toLocal8Bit());
}

void ResetRecentLists(const QString& dataDirectory) {
    CreateAddressBook(dataDirectory + QLatin1String(kOnLinesFile),
                      QString::fromLatin1(kOnLinesDescription));
    CreateAddressBook(dataDirectory + QLatin1String(kLastSendersFile),
                      QString::fromLatin1(kLastSendersDescription));
}
