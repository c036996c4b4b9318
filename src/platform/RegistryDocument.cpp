#include "platform/RegistryDocument.h"

#include <QString>
#include <QtEndian>

namespace {

constexpr int kHexLineWidth = 76;

bool SameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray TrimRight(const QByteArray& line) {
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r'))
        --end;
    return line.left(end);
}

QByteArray TrimLeft(const QByteArray& line) {
    qsizetype begin = 0;
    while (begin < line.size() && (line[begin] == ' ' || line[begin] == '\t'))
        ++begin;
    return line.mid(begin);
}

// Reads a quoted text starting at pos (which holds the opening quote); only \\ and \" are
// escapes, as in REGEDIT4. On success pos is just past the closing quote.
bool ReadQuoted(const QByteArray& line, qsizetype& pos, QByteArray& out) {
    if (pos >= line.size() || line[pos] != '"')
        return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (pos >= line.size() || (line[pos] != '\\' && line[pos] != '"'))
                return false;
            out.append(line[pos++]);
        } else {
            out.append(c);
        }
    }
    return false;
}

bool ParseHexBytes(const QByteArray& text, QByteArray& out) {
    out.clear();
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    for (const QByteArray& part : trimmed.split(',')) {
        const QByteArray item = part.trimmed();
        if (item.isEmpty() || item.size() > 2)
            return false;
        bool ok = false;
        const uint byte = item.toUInt(&ok, 16);
        if (!ok)
            return false;
        out.append(static_cast<char>(byte));
    }
    return true;
}

// Parses the part after '=' of a value line.
bool ParseData(const QByteArray& text, quint32& type, QByteArray& data) {
    if (text.startsWith('"')) {
        qsizetype pos = 0;
        QByteArray value;
        if (!ReadQuoted(text, pos, value) || !TrimRight(text.mid(pos)).isEmpty())
            return false;
        type = RegistryDocument::kTypeString;
        data = value + '\0';
        return true;
    }
    if (text.startsWith("dword:")) {
        const QByteArray digits = text.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return false;
        type = RegistryDocument::kTypeDword;
        data.resize(4);
        qToLittleEndian<quint32>(number, data.data());
        return true;
    }
    if (text.startsWith("hex:")) {
        type = RegistryDocument::kTypeBinary;
        return ParseHexBytes(text.mid(4), data);
    }
    if (text.startsWith("hex(")) {
        const qsizetype close = text.indexOf("):");
        if (close < 0)
            return false;
        bool ok = false;
        type = text.mid(4, close - 4).toUInt(&ok, 16);
        return ok && ParseHexBytes(text.mid(close + 2), data);
    }
    return false;
}

// The line at raw[i] with the lines that continue it, trimmed at the right; i ends on the last.
// A trailing backslash continues the line (long hex data); a key or a quoted text never ends
// in one.
QByteArray JoinContinuedLine(const QList<QByteArray>& raw, qsizetype& i) {
    QByteArray line = TrimRight(raw[i]);
    while (line.endsWith('\\') && i + 1 < raw.size())
        line = line.chopped(1) + TrimLeft(TrimRight(raw[++i]));
    return line;
}

// The key named by a "[path]" line; empty when the line names none (or deletes one).
QByteArray KeyPath(const QByteArray& line) {
    if (!line.endsWith(']') || line.startsWith("[-"))
        return QByteArray();
    const QByteArray path = line.mid(1, line.size() - 2);
    return RegistryDocument::NormalisePath(path).isEmpty() ? QByteArray() : path;
}

enum class ValueLine { Value, Deletion, Bad };

// A "name"=data or @=data line of a key; a data of "-" marks a deletion, which sets nothing.
ValueLine ParseValueLine(const QByteArray& line, QByteArray& name, quint32& type,
                         QByteArray& data) {
    qsizetype pos = 0;
    if (line.startsWith('@'))
        pos = 1;
    else if (!ReadQuoted(line, pos, name))
        return ValueLine::Bad;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return ValueLine::Bad;
    const QByteArray rest = TrimLeft(line.mid(pos + 1));
    if (rest == "-")
        return ValueLine::Deletion;
    return ParseData(rest, type, data) ? ValueLine::Value : ValueLine::Bad;
}

bool IsPrintableAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

QByteArray Escape(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out.append('\\');
        out.append(c);
    }
    return out;
}

void AppendHex(QByteArray& out, qsizetype lineStart, const QByteArray& data) {
    for (qsizetype i = 0; i < data.size(); ++i) {
        out.append(QByteArray::number(static_cast<uchar>(data[i]), 16).rightJustified(2, '0'));
        if (i + 1 < data.size()) {
            out.append(',');
            if (out.size() - lineStart >= kHexLineWidth) {
                out.append("\\\n  ");
                lineStart = out.size() - 2;
            }
        }
    }
}

QByteArray SerializeValue(const RegValue& value) {
    QByteArray out = value.name.isEmpty() ? QByteArray("@") : '"' + Escape(value.name) + '"';
    out.append('=');
    if (value.type == RegistryDocument::kTypeDword && value.data.size() == 4) {
        const quint32 number = qFromLittleEndian<quint32>(value.data.constData());
        out.append("dword:" + QByteArray::number(number, 16).rightJustified(8, '0'));
    } else if (value.type == RegistryDocument::kTypeString && value.data.endsWith('\0') &&
               IsPrintableAscii(QByteArrayView(value.data).chopped(1))) {
        out.append('"' + Escape(value.data.chopped(1)) + '"');
    } else {
        out.append(value.type == RegistryDocument::kTypeBinary
                       ? QByteArray("hex:")
                       : "hex(" + QByteArray::number(value.type, 16) + "):");
        AppendHex(out, 0, value.data);
    }
    return out;
}

}  // namespace

const RegValue* RegKey::FindValue(const QByteArray& name) const {
    for (const RegValue& value : values) {
        if (SameName(value.name, name))
            return &value;
    }
    return nullptr;
}

void RegKey::SetValue(const QByteArray& name, quint32 type, const QByteArray& data) {
    for (RegValue& value : values) {
        if (SameName(value.name, name)) {
            value.type = type;
            value.data = data;
            return;
        }
    }
    values.append(RegValue{name, type, data});
}

bool RegKey::RemoveValue(const QByteArray& name) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (SameName(values[i].name, name)) {
            values.removeAt(i);
            return true;
        }
    }
    return false;
}

QByteArray RegistryDocument::NormalisePath(const QByteArray& path) {
    QByteArray out;
    for (const QByteArray& part : path.split('\\')) {
        if (part.isEmpty())
            continue;
        if (!out.isEmpty())
            out.append('\\');
        out.append(part);
    }
    return out;
}

const RegKey* RegistryDocument::FindKey(const QByteArray& path) const {
    const QByteArray wanted = NormalisePath(path);
    for (const RegKey& key : m_keys) {
        if (SameName(key.path, wanted))
            return &key;
    }
    return nullptr;
}

RegKey* RegistryDocument::FindKey(const QByteArray& path) {
    return const_cast<RegKey*>(std::as_const(*this).FindKey(path));
}

RegKey& RegistryDocument::EnsureKey(const QByteArray& path) {
    const QByteArray wanted = NormalisePath(path);
    if (RegKey* key = FindKey(wanted))
        return *key;
    // Keys below the root are listed level by level, as an export lists them; the root itself
    // always exists and is not listed.
    const qsizetype cut = wanted.lastIndexOf('\\');
    if (cut > 0 && wanted.indexOf('\\') < cut)
        EnsureKey(wanted.left(cut));
    m_keys.append(RegKey{wanted, {}});
    return m_keys.last();
}

RegistryDocument RegistryDocument::Parse(const QByteArray& text, QStringList* errors) {
    RegistryDocument doc;
    auto fail = [errors](int lineNo, const QByteArray& line) {
        if (errors) {
            errors->append(QStringLiteral("line %1: %2")
                               .arg(lineNo)
                               .arg(QString::fromLocal8Bit(line.left(80))));
        }
    };

    const QList<QByteArray> raw = text.split('\n');
    RegKey* current = nullptr;
    bool sawHeader = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        const QByteArray trimmed = TrimLeft(JoinContinuedLine(raw, i));
        if (trimmed.isEmpty() || trimmed.startsWith(';'))
            continue;
        if (!sawHeader) {
            sawHeader = true;
            if (trimmed == "REGEDIT4")
                continue;
            fail(lineNo, "missing REGEDIT4 header");
        }
        if (trimmed.startsWith('[')) {
            const QByteArray path = KeyPath(trimmed);
            current = path.isEmpty() ? nullptr : &doc.EnsureKey(path);
            if (!current)
                fail(lineNo, trimmed);
            continue;
        }
        QByteArray name;
        quint32 type = 0;
        QByteArray data;
        const ValueLine value =
            current ? ParseValueLine(trimmed, name, type, data) : ValueLine::Bad;
        if (value == ValueLine::Bad)
            fail(lineNo, trimmed);
        else if (value == ValueLine::Value)
            current->SetValue(name, type, data);
    }
    if (!sawHeader && !text.trimmed().isEmpty())
        fail(1, "missing REGEDIT4 header");
    return doc;
}

QByteArray RegistryDocument::Serialize() const {
    QByteArray out("REGEDIT4\n\n");
    for (const RegKey& key : m_keys) {
        // "[-" deletes a key: a name that begins with '-' goes after a backslash, which
        // reading ignores, so that the key and its values come back on the next start.
        out.append((key.path.startsWith('-') ? "[\\" : "[") + key.path + "]\n");
        for (const RegValue& value : key.values)
            out.append(SerializeValue(value) + '\n');
        out.append('\n');
    }
    return out;
}
