#pragma once

#include <QByteArray>
#include <QString>

// Command codes of the records, grouped by their top byte: 01 presentation and control,
// 02 sender identity, 03 text lines.
enum MsgCode : quint32 {
    MSG_CHECK = 0x01000100,
    MSG_SENDER_DONE = 0x01000101,
    MSG_TEXT_SPACED = 0x01000102,
    MSG_BEGIN = 0x01000103,
    MSG_END = 0x01000104,
    MSG_QUOTE = 0x01000105,
    MSG_FROM_LINE = 0x01000106,
    MSG_SENDER_NAME = 0x02000100,
    MSG_SENDER_ADDRESS = 0x02000101,
    MSG_SENDER_PORT = 0x02000102,
    MSG_TEXT = 0x03000100,
};

// One note record. On the wire: the final flag as 16 bits, the code as 32 bits (both
// little-endian), then the text as a length prefix and its bytes, nothing else.
struct CMsg {
    quint32 m_dwCode = 0;
    quint32 m_bFinal = 0;
    QByteArray m_strData;  // 8-bit text in the locale's character set

    CMsg() = default;
    CMsg(quint32 code, QByteArray data = QByteArray(), quint32 final = 0)
        : m_dwCode(code), m_bFinal(final), m_strData(std::move(data)) {}
    CMsg(quint32 code, const QString& text) : m_dwCode(code), m_strData(text.toLocal8Bit()) {}

    QString Text() const { return QString::fromLocal8Bit(m_strData); }
    QByteArray Encode() const;

    // The longest text a reader takes: a record announcing more is a read error.
    static constexpr qsizetype kMaxTextBytes = 1024 * 1024;
};

// Appends the length prefix of a text: below 255 one byte; below 65534 0xFF and 16 bits; else
// 0xFF, 0xFFFF and 32 bits.
void AppendTextLength(QByteArray& out, quint32 length);

// Takes bytes as they arrive and gives whole records, in order.
class MsgDecoder {
public:
    enum class Result { Record, NeedMore, Error };

    void Feed(QByteArrayView bytes) { m_buffer.append(bytes); }
    // The next whole record, or NeedMore while its rest has not arrived. Error for a text of
    // more than kMaxTextBytes or the reserved length prefix 0xFF 0xFFFE; the decoder is of no
    // further use then.
    Result Next(CMsg& msg);
    // Bytes of a record that has begun to arrive but is not whole yet.
    bool HasPartialRecord() const { return m_buffer.size() > m_consumed; }

private:
    QByteArray m_buffer;
    qsizetype m_consumed = 0;
    bool m_bFailed = false;
};
