#include "message/IncomingNote.h"

#include "app/AppFunctions.h"
#include "message/MessageCommands.h"
#include "message/NoteBlocks.h"
#include "net/NoteExchange.h"

IncomingNote::IncomingNote(Output& output, Clock timeStamp)
    : m_out(output),
      m_timeStamp(timeStamp ? std::move(timeStamp) : [] { return GetTimeStamp(); }) {}

void IncomingNote::OnRecord(const CMsg& msg) {
    if (m_bWhole || m_bClosed)
        return;
    switch (msg.m_dwCode) {
        case MSG_SENDER_NAME:
            OnSenderName(msg.Text());
            break;
        case MSG_SENDER_ADDRESS:
            m_strSenderAddress = msg.Text();
            m_out.SetCaption(QStringLiteral("%1@%2").arg(m_strSenderName, m_strSenderAddress));
            break;
        case MSG_SENDER_PORT:
            m_nSenderPort = BookFormat::ParsePort(msg.m_strData);
            break;
        case MSG_SENDER_DONE:
            m_out.EnableCommand(MessageCommands::ID_REPLY, true);
            m_out.PushLastSender(Sender());
            break;
        case MSG_BEGIN:
            for (const QString& line : NoteBlocks::IncomingBanner())
                m_out.LogLine(line);
            break;
        case MSG_QUOTE:
            LogAndNote(msg.Text());
            LogAndNote(QString::fromLatin1(NoteBlocks::kReplySeparator));
            break;
        case MSG_FROM_LINE:
            // The receiver's time of arrival; the sender's own text is not used.
            LogAndNote(NoteBlocks::FromLine(m_strSenderName, m_timeStamp()));
            break;
        case MSG_TEXT_SPACED:
            LogAndNote(msg.Text());
            LogAndNote(QString());
            break;
        case MSG_TEXT:
            // The first text record holds the body; the rest are the profile lines.
            if (!m_bBodySeen) {
                m_bBodySeen = true;
                m_strBodyLine = NoteBlocks::SummaryLine(msg.Text());
            }
            LogAndNote(msg.Text());
            break;
        case MSG_END:
            OnNoteEnd();
            break;
        case MSG_CHECK:
            m_out.AnswerCheck(msg);
            break;
        default:
            break;  // an unknown record is read and dropped
    }
}

void IncomingNote::OnSenderName(const QString& name) {
    m_out.SetNoteReadOnly(true);
    m_strSenderName = name;
    m_out.AppendRecipientText(m_strSenderName + QLatin1Char(';'));
    m_out.SetGroupTitle(tr("From:"));
}

void IncomingNote::OnNoteEnd() {
    m_out.ShowWholeNote(m_timeStamp());
    m_out.CountUnanswered(+1);
    m_bWhole = true;
}

void IncomingNote::LogAndNote(const QString& line) {
    m_out.LogLine(line);
    m_out.NoteLine(line);
}

void IncomingNote::Reply(const QString& recipientText, const QString& shownNote,
                         OutgoingNote& answer) {
    m_out.SetNoteReadOnly(false);
    if (m_bWhole && !m_bAnswered && !m_bClosed)
        m_out.CountUnanswered(-1);
    m_bAnswered = true;
    // The recipient text holds the sender's name and ";" at this point.
    answer.m_strRecipientField = recipientText;
    answer.m_strFromLine = QStringLiteral("FROM: ") + recipientText;
    // Everything the note showed: an earlier quote and its separator, the FROM and TO lines,
    // the body and the profile lines.
    answer.m_strQuote += shownNote;
    answer.m_strBody.clear();
    m_out.ClearNote();
    m_out.EnableCommand(MessageCommands::ID_SEND, true);
    m_out.EnableCommand(MessageCommands::ID_CLEAR, true);
    m_out.EnableCommand(MessageCommands::ID_REPLY, false);
    m_out.SetCaption(tr("Reply Message"));
    m_out.SetGroupTitle(tr("Reply To:"));
    m_out.AppendRecipientEntry(Sender());
    answer.m_strRecipientField = m_strSenderName + QLatin1Char(';');
    m_out.SetRecipientText(answer.m_strRecipientField);
}

void IncomingNote::Close() {
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_bWhole && !m_bAnswered)
        m_out.CountUnanswered(-1);
}
