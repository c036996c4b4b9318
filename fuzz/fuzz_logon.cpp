// Announcement datagrams as anyone on the network may send them.
#include <QtEndian>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "addressbook/LogonRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    LogonRecord record;
    const bool read = LogonRecord::FromBytes(datagram, record);
    FUZZ_CHECK(read == (size >= size_t(LogonRecord::kSize)));
    if (!read)
        return 0;
    FUZZ_CHECK(record.m_nPort == qFromLittleEndian<qint32>(data + LogonRecord::kPortOffset));

    // What this copy would announce of the same record fits the fields and reads back.
    const QByteArray bytes = record.ToBytes();
    FUZZ_CHECK(bytes.size() == LogonRecord::kSize);
    FUZZ_CHECK(bytes.at(LogonRecord::kNameOffset + LogonRecord::kNameField - 1) == '\0');
    FUZZ_CHECK(bytes.at(LogonRecord::kComputerOffset + LogonRecord::kComputerField - 1) == '\0');
    LogonRecord back;
    FUZZ_CHECK(LogonRecord::FromBytes(bytes, back));
    FUZZ_CHECK(back.m_nPort == record.m_nPort);
    FUZZ_CHECK(record.m_strFullName.startsWith(back.m_strFullName));
    FUZZ_CHECK(record.m_strComputerName.startsWith(back.m_strComputerName));
    return 0;
}
