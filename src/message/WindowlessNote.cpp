#include "message/WindowlessNote.h"

#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"

WindowlessNote::WindowlessNote(CNoteSocket* socket, Sinks sinks, IncomingNote::Clock timeStamp,
                               QObject* parent)
    : QObject(parent),
      m_socket(socket),
      m_sinks(std::move(sinks)),
      m_incoming(*this, std::move(timeStamp)) {
    m_socket->setParent(this);
    connect(m_socket, &CNoteSocket::recordReceived, this, &WindowlessNote::OnRecord);
    connect(m_socket, &CNoteSocket::readError, this,
            [this] { LogLine(QStringLiteral("Error reading socket")); });
    connect(m_socket, &CNoteSocket::closed, this, &QObject::deleteLater);
}

void WindowlessNote::LogLine(const QString& line) {
    if (!m_bLogStarted) {
        m_bLogStarted = true;
        Q_EMIT logStarting();
    }
    if (m_sinks.m_log)
        m_sinks.m_log(line);
}

void WindowlessNote::PushLastSender(const AddressEntry& sender) {
    if (m_sinks.m_pushLastSender)
        m_sinks.m_pushLastSender(sender);
}

void WindowlessNote::CountUnanswered(int change) {
    // Only a whole note counts up; no window can answer or close it, so nothing counts down.
    if (change > 0)
        Q_EMIT noteWhole(this);
}

void WindowlessNote::AnswerCheck(const CMsg& request) {
    m_socket->SendMsg(CheckAnswer(request, m_sinks.m_strFullName));
    m_socket->Close();
}
