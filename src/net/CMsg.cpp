#include "net/CMsg.h"

#include <QtEndian>

namespace {

constexpr qsizetype kFixedBytes = 6;  // final flag and code

template <typename T>
void Append(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}

}  // namespace

void AppendTextLength(QByteArray& out, quint32 length) {
    if (length < 0xFF) {
        out.append(static_cast<char>(length));
    } else if (length < 0xFFFE) {
        out.append('\xFF');
        Append<quint16>(out, static_cast<quint16>(length));
    } else {
        out.append('\xFF');
        Append<quint16>(out, 0xFFFF);
        Append<quint32>(out, length);
    }
}

QByteArray CMsg::Encode() const {
    QByteArray out;
    out.reserve(kFixedBytes + 7 + m_strData.size());
    Append<quint16>(out, static_cast<quint16>(m_bFinal));
    Append<quint32>(out, m_dwCode);
    AppendTextLength(out, static_cast<quint32>(m_strData.size()));
    out.append(m_strData);
    return out;
}

MsgDecoder::Result MsgDecoder::Next(CMsg& msg) {
    if (m_bFailed)
        return Result::Error;
    // Consumed bytes are dropped in one go once they are half the buffer, so a burst of many
    // small records costs no more than their size.
    if (m_consumed > 0 && m_consumed * 2 >= m_buffer.size()) {
        m_buffer.remove(0, m_consumed);
        m_consumed = 0;
    }
    const qsizetype available = m_buffer.size() - m_consumed;
    const uchar* p = reinterpret_cast<const uchar*>(m_buffer.constData()) + m_consumed;
    if (available < kFixedBytes + 1)
        return Result::NeedMore;
    qsizetype header = kFixedBytes + 1;
    quint64 length = p[kFixedBytes];
    if (length == 0xFF) {
        if (available < kFixedBytes + 3)
            return Result::NeedMore;
        length = qFromLittleEndian<quint16>(p + kFixedBytes + 1);
        header = kFixedBytes + 3;
        if (length == 0xFFFE) {
            m_bFailed = true;  // the reserved prefix of another text encoding
            return Result::Error;
        }
        if (length == 0xFFFF) {
            if (available < kFixedBytes + 7)
                return Result::NeedMore;
            length = qFromLittleEndian<quint32>(p + kFixedBytes + 3);
            header = kFixedBytes + 7;
        }
    }
    if (length > static_cast<quint64>(CMsg::kMaxTextBytes)) {
        m_bFailed = true;
        return Result::Error;
    }
    if (static_cast<quint64>(available - header) < length)
        return Result::NeedMore;
    // A received flag is 16 bits wide; any nonzero value counts as set.
    msg.m_bFinal = qFromLittleEndian<quint16>(p);
    msg.m_dwCode = qFromLittleEndian<quint32>(p + 2);
    msg.m_strData =
        QByteArray(reinterpret_cast<const char*>(p + header), static_cast<qsizetype>(length));
    m_consumed += header + static_cast<qsizetype>(length);
    if (m_consumed == m_buffer.size()) {
        m_buffer.clear();
        m_consumed = 0;
    }
    return Result::Record;
}
