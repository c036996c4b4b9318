#include "app/CRegistry.h"

#include <QtEndian>
#include <cstring>

#include "platform/RegistryStore.h"

namespace {

QByteArray RootName(CRegistry::Root) {
    return QByteArrayLiteral("HKEY_CURRENT_USER");
}

QByteArray Join(const QByteArray& parent, const QString& sub) {
    return RegistryDocument::NormalisePath(parent + '\\' + sub.toLocal8Bit());
}

}  // namespace

CRegistry::CRegistry(const RegistryStore& store) : m_store(store) {}

CRegistry::~CRegistry() {
    Close();
}

bool CRegistry::Finish(qint32 status) {
    m_lStatus = status;
    return status == RegistryStatus::kSuccess;
}

bool CRegistry::Open(Root root, const QString& keyPath) {
    Close();
    m_strKeyPath = keyPath;
    const QByteArray path = Join(RootName(root), keyPath);
    RegistryDocument doc;
    qint32 status = m_store.Read(doc);
    if (status == RegistryStatus::kSuccess && path != RootName(root) && !doc.FindKey(path))
        status = RegistryStatus::kNotFound;
    if (status == RegistryStatus::kSuccess)
        m_hKey = path;
    return Finish(status);
}

void CRegistry::Close() {
    m_hKey.clear();
}

bool CRegistry::CreateSubKey(const QString& subKeyPath) {
    if (!IsOpen())
        return Finish(RegistryStatus::kInvalidHandle);
    const QByteArray path = Join(m_hKey, subKeyPath);
    const qint32 status = m_store.Update([&path](RegistryDocument& doc) {
        doc.EnsureKey(path);
        return RegistryStatus::kSuccess;
    });
    if (status == RegistryStatus::kSuccess)
        m_hKey = path;
    return Finish(status);
}

bool CRegistry::OpenAndCreate(Root root, const QString& parentPath, const QString& subKeyPath) {
    return Open(root, parentPath) && CreateSubKey(subKeyPath);
}

qint32 CRegistry::ReadValue(const QString& valueName, QByteArray& data) const {
    if (!IsOpen())
        return RegistryStatus::kInvalidHandle;
    RegistryDocument doc;
    const qint32 status = m_store.Read(doc);
    if (status != RegistryStatus::kSuccess)
        return status;
    const RegKey* key = doc.FindKey(m_hKey);
    const RegValue* value = key ? key->FindValue(valueName.toLocal8Bit()) : nullptr;
    if (!value)
        return RegistryStatus::kNotFound;
    data = value->data;
    return RegistryStatus::kSuccess;
}

bool CRegistry::ReadNumber(const QString& valueName, quint32& number) {
    QByteArray data;
    qint32 status = ReadValue(valueName, data);
    if (status == RegistryStatus::kSuccess && data.size() > 4)
        status = RegistryStatus::kMoreData;
    if (status == RegistryStatus::kSuccess) {
        // Shorter data fills only the low bytes, as a read into the number's own memory does.
        uchar bytes[4];
        qToLittleEndian(number, bytes);
        std::memcpy(bytes, data.constData(), static_cast<size_t>(data.size()));
        number = qFromLittleEndian<quint32>(bytes);
    }
    return Finish(status);
}

bool CRegistry::ReadString(const QString& valueName, QByteArray& text) {
    QByteArray data;
    qint32 status = ReadValue(valueName, data);
    if (status == RegistryStatus::kSuccess) {
        const qsizetype zero = data.indexOf('\0');
        if (zero >= 0)
            data.truncate(zero);
        if (QString::fromLocal8Bit(data).size() > kMaxStringChars)
            status = RegistryStatus::kMoreData;
        else
            text = data;
    }
    return Finish(status);
}

bool CRegistry::ReadBinary(const QString& valueName, void* buffer, quint32& size) {
    QByteArray data;
    qint32 status = ReadValue(valueName, data);
    if (status == RegistryStatus::kSuccess && static_cast<quint64>(data.size()) > size)
        status = RegistryStatus::kMoreData;
    if (status == RegistryStatus::kSuccess) {
        if (!data.isEmpty())
            std::memcpy(buffer, data.constData(), static_cast<size_t>(data.size()));
        size = static_cast<quint32>(data.size());
    }
    return Finish(status);
}

bool CRegistry::OpenAndReadBinary(Root root, const QString& keyPath, const QString& valueName,
                                  void* buffer, quint32& size) {
    return Open(root, keyPath) && ReadBinary(valueName, buffer, size);
}

bool CRegistry::WriteValue(const QString& valueName, quint32 type, const QByteArray& data) {
    if (!IsOpen())
        return Finish(RegistryStatus::kInvalidHandle);
    const QByteArray path = m_hKey;
    const QByteArray name = valueName.toLocal8Bit();
    return Finish(m_store.Update([&](RegistryDocument& doc) {
        doc.EnsureKey(path).SetValue(name, type, data);
        return RegistryStatus::kSuccess;
    }));
}

bool CRegistry::DeleteValue(const QString& valueName) {
    if (!IsOpen())
        return Finish(RegistryStatus::kInvalidHandle);
    const QByteArray path = m_hKey;
    const QByteArray name = valueName.toLocal8Bit();
    return Finish(m_store.Update([&](RegistryDocument& doc) {
        RegKey* key = doc.FindKey(path);
        return key && key->RemoveValue(name) ? RegistryStatus::kSuccess : RegistryStatus::kNotFound;
    }));
}

bool CRegistry::WriteNumber(const QString& valueName, quint32 number) {
    QByteArray data(4, '\0');
    qToLittleEndian(number, data.data());
    return WriteValue(valueName, RegistryDocument::kTypeDword, data);
}

bool CRegistry::WriteString(const QString& valueName, const QByteArray& text) {
    return WriteValue(valueName, RegistryDocument::kTypeString, text + '\0');
}

bool CRegistry::WriteBinary(const QString& valueName, const void* data, quint32 size) {
    return WriteValue(valueName, RegistryDocument::kTypeBinary,
                      QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size)));
}

QString CRegistry::ErrorText() const {
    return RegistryStatus::Text(m_lStatus);
}
