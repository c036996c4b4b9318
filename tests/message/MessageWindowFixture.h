#pragma once

// A copy of the program with its hub listening on loopback, in which message windows are made
// as the user makes them and notes arrive as another copy sends them.
#include <QTcpSocket>
#include <QtTest>
#include <QtWidgets>
#include <clocale>

#include "ProgramCopy.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"
#include "platform/OpenFiles.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

inline QByteArray Records(const QList<CMsg>& records) {
    QByteArray bytes;
    for (const CMsg& msg : records)
        bytes += msg.Encode();
    return bytes;
}

// The records of a note as another copy sends them.
inline QList<CMsg> NoteFrom(const QString& name, const QString& address, const QString& port,
                            const QString& body, const QString& quote = QString()) {
    NoteIdentity sender{name,        QStringLiteral("Room 4"), QString(), QString(), QString(),
                        port.toInt()};
    OutgoingNote note{QStringLiteral("Me;"), body, quote, QString()};
    QList<CMsg> records = BuildNoteRecords(sender, address, note);
    records[2] = CMsg(MSG_SENDER_PORT, port);
    return records;
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

class MessageWindowFixture {
protected:
    void InitTestCase() {
        std::setlocale(LC_TIME, "C");
        OpenFiles::RaiseLimit(OpenFiles::kWantedByProgram);
        MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
            m_questions.append(text);
            return m_answerYes ? QMessageBox::Yes : QMessageBox::No;
        });
    }

    void Init() {
        const TestHome& home = CurrentTestHome();
        QDir(home.DataDirectory()).removeRecursively();
        m_copy =
            std::make_unique<ProgramCopy>(home.StorePath(), CopyStore("Me Myself", FreePort(), 2));
        m_data = m_copy->Data();
        QObject::connect(m_copy->services.get(), &MessageServices::incomingWindowCreated,
                         m_copy->services.get(),
                         [this](CMessageWindow* window) { m_incoming.append(window); });
        QVERIFY(m_copy->Hub());
        m_incoming.clear();
        m_questions.clear();
        m_answerYes = false;
        m_copy->sounds.Clear();
    }

    void Cleanup() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CMessageWindow::DestroyAll();
        m_copy.reset();
    }

    CMessageWindow* Compose() {
        m_copy->services->SendMessage(*m_copy->workspace->HubView());
        return m_copy->services->LastComposeWindow();
    }

    // A compose window on a book of one address, which is selected.
    CMessageWindow* ComposeTo(const QByteArray& name, quint16 port) {
        WriteWholeFile(
            m_data + QStringLiteral("one.add"),
            "Only " + name + "\r\n" + name + ";127.0.0.1;" + QByteArray::number(port) + ";");
        CMessageWindow* window = Compose();
        Child<QListWidget>(window, "bookList")
            ->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("Only ") +
                                                                     QString::fromLatin1(name)));
        window->OnCommand(CMessageWindow::ID_SELECT);
        return window;
    }

    // The window made for bytes written on peer, a new connection to the hub.
    CMessageWindow* Receive(const QByteArray& bytes, QTcpSocket& peer) {
        const int before = static_cast<int>(m_incoming.size());
        peer.connectToHost(QHostAddress::LocalHost,
                           static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
        if (!peer.waitForConnected(5000))
            return nullptr;
        peer.write(bytes);
        peer.waitForBytesWritten(2000);
        if (!WaitFor([&] { return m_incoming.size() > before; }, 5000))
            return nullptr;
        return m_incoming.last();
    }

    QString LogText() const { return m_copy->workspace->HubView()->document()->toPlainText(); }

    std::unique_ptr<ProgramCopy> m_copy;
    QList<QPointer<CMessageWindow>> m_incoming;
    QStringList m_questions;
    bool m_answerYes = false;
    QString m_data;
};
