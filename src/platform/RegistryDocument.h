#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// The per-user settings tree as one text file in the syntax of a REGEDIT4 export: key paths,
// value names, value types and data bytes survive a round trip exactly; names compare without
// regard to letter case and keep the case they were first written in.
struct RegValue {
    QByteArray name;  // empty for the key's default value ("@")
    quint32 type = 0;
    QByteArray data;
};

struct RegKey {
    QByteArray path;  // full path from the root, e.g. HKEY_CURRENT_USER\Software\Vexor
    QList<RegValue> values;

    const RegValue* FindValue(const QByteArray& name) const;
    void SetValue(const QByteArray& name, quint32 type, const QByteArray& data);
    // False when there is no value of that name.
    bool RemoveValue(const QByteArray& name);
};

class RegistryDocument {
public:
    static constexpr quint32 kTypeString = 1;  // REG_SZ
    static constexpr quint32 kTypeBinary = 3;  // REG_BINARY
    static constexpr quint32 kTypeDword = 4;   // REG_DWORD

    // Reads a file's content. Lines that cannot be understood are skipped and described in
    // errors (with their line numbers); everything readable is kept.
    static RegistryDocument Parse(const QByteArray& text, QStringList* errors = nullptr);
    QByteArray Serialize() const;

    // Paths are compared without regard to case; leading, trailing and doubled backslashes
    // are ignored.
    const RegKey* FindKey(const QByteArray& path) const;
    RegKey* FindKey(const QByteArray& path);
    // Finds the key or creates it together with every missing key above it (below the root).
    RegKey& EnsureKey(const QByteArray& path);

    const QList<RegKey>& Keys() const { return m_keys; }

    static QByteArray NormalisePath(const QByteArray& path);

private:
    QList<RegKey> m_keys;
};
