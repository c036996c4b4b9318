// Two copies of the program, each with its own settings, data and port, exchanging a note, a
// reply and a check over loopback.
#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>
#include <clocale>

#include "ProgramCopy.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

namespace {

// A directory of a copy's own, made before the copy that keeps its store in it.
struct OwnDirectory {
    QTemporaryDir dir;
};

// One running copy: its store, data directory, main window, log and network side.
struct Copy : OwnDirectory, ProgramCopy {
    QList<QPointer<CMessageWindow>> incoming;
    quint16 port = 0;

    Copy(const QByteArray& fullName, QObject* context, quint16 listening = FreePort())
        : ProgramCopy(dir.path() + QStringLiteral("/registry.reg"),
                      CopyStore(fullName, listening, 3,
                                "\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Data]\n"
                                "\"Data Directory\"=\"" +
                                    dir.path().toLocal8Bit() + "/data/\"\n")),
          port(listening) {
        QObject::connect(services.get(), &MessageServices::incomingWindowCreated, context,
                         [this](CMessageWindow* window) { incoming.append(window); });
    }
    CMessageWindow* ComposeTo(const QByteArray& book) {
        WriteWholeFile(Data() + QStringLiteral("other.add"), book);
        services->SendMessage(*workspace->HubView());
        CMessageWindow* window = services->LastComposeWindow();
        auto* books = window->findChild<QListWidget*>(QStringLiteral("bookList"));
        books->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("The other")));
        window->OnCommand(CMessageWindow::ID_SELECT);
        return window;
    }
};

}  // namespace

class TestTwoCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        std::setlocale(LC_TIME, "C");
        MessageBox::SetAnswerer([](QMessageBox::Icon, const QString&) { return QMessageBox::No; });
    }
    void noteReplyAndCheckBetweenTwoCopies();
};

void TestTwoCopies::noteReplyAndCheckBetweenTwoCopies() {
    Copy anna("Anna Example", this);
    Copy bert("Bert Example", this);
    const QByteArray bertBook =
        "The other\r\nBert;127.0.0.1;" + QByteArray::number(bert.port) + ";";

    // Anna writes to Bert.
    CMessageWindow* compose = anna.ComposeTo(bertBook);
    compose->OnCommand(CMessageWindow::ID_TO);
    compose->findChild<QPlainTextEdit*>(QStringLiteral("noteArea"))
        ->setPlainText(QStringLiteral("Coffee at ten?"));
    QSignalSpy sent(compose, &CMessageWindow::runFinished);
    compose->OnCommand(CMessageWindow::ID_SEND);
    QVERIFY(WaitFor(
        [&] {
            return sent.count() == 1 && !bert.incoming.isEmpty() && bert.incoming.last() &&
                   bert.incoming.last()->isVisible();
        },
        15000));
    CMessageWindow* received = bert.incoming.last();
    QCOMPARE(received->windowTitle(), QStringLiteral("Anna Example@127.0.0.1"));
    QCOMPARE(bert.app->m_nUnansweredNoteCount, 1);

    const QString annaLog = anna.Log();
    QVERIFY(annaLog.contains(
        QStringLiteral("\n\n------------------------ Outgoing Message ------------------------ \n\n"
                       "TO: Bert;\nFROM: Anna Example at ")));
    QVERIFY(annaLog.contains(QStringLiteral("\n\nCoffee at ten?\n\n")));
    const QString bertLog = bert.Log();
    QVERIFY(bertLog.contains(
        QStringLiteral("\n\n------------------------ Incoming Message ------------------------ \n\n"
                       "FROM: Anna Example at ")));
    QVERIFY(bertLog.contains(QStringLiteral("\nTO: Bert;\n\nCoffee at ten?\n\n")));

    // Bert answers with the note quoted.
    received->OnCommand(CMessageWindow::ID_REPLY);
    QCOMPARE(bert.app->m_nUnansweredNoteCount, 0);
    received->findChild<QPlainTextEdit*>(QStringLiteral("noteArea"))
        ->setPlainText(QStringLiteral("Yes, see you."));
    QSignalSpy replied(received, &CMessageWindow::runFinished);
    received->OnCommand(CMessageWindow::ID_SEND);
    QVERIFY(WaitFor(
        [&] {
            return replied.count() == 1 && !anna.incoming.isEmpty() && anna.incoming.last() &&
                   anna.incoming.last()->isVisible();
        },
        15000));
    const QString answer =
        anna.incoming.last()->findChild<QPlainTextEdit*>(QStringLiteral("noteArea"))->toPlainText();
    QVERIFY2(answer.startsWith(QStringLiteral("FROM: Anna Example at ")), qPrintable(answer));
    QVERIFY(answer.contains(QStringLiteral("\nCoffee at ten?\n")));
    const qsizetype separator =
        answer.indexOf(QStringLiteral("---------- Reply Separator ----------\n\n"));
    QVERIFY(separator > answer.indexOf(QStringLiteral("Coffee at ten?")));
    QVERIFY(answer.indexOf(QStringLiteral("FROM: Bert Example at "), separator) > separator);
    QVERIFY(answer.contains(QStringLiteral("\nTO: Anna Example;\n\nYes, see you.\n")));
    QVERIFY(anna.Log().contains(
        QStringLiteral("---------- Reply Separator ----------\n\nFROM: Bert Example at ")));

    // A reply to the reply quotes the whole exchange, each level above its own separator.
    CMessageWindow* second = anna.incoming.last();
    second->OnCommand(CMessageWindow::ID_REPLY);
    QCOMPARE(second->QuotedText().count(QStringLiteral("---------- Reply Separator ----------")),
             1);
    QVERIFY(second->QuotedText().contains(QStringLiteral("Coffee at ten?")));
    QVERIFY(second->QuotedText().contains(QStringLiteral("Yes, see you.")));

    // Anna checks Bert's address and learns his full name.
    CMessageWindow* checker = anna.ComposeTo(bertBook);
    auto* addresses = checker->findChild<QListWidget*>(QStringLiteral("addressList"));
    QSignalSpy checked(checker, &CMessageWindow::runFinished);
    checker->OnCommand(CMessageWindow::ID_CHECK);
    QVERIFY(WaitFor([&] { return checked.count() == 1; }, 15000));
    addresses->setCurrentRow(0);
    Q_EMIT addresses->currentItemChanged(addresses->item(0), nullptr);
    QCOMPARE(checker->findChild<QLineEdit*>(QStringLiteral("statusLine"))->text(),
             QStringLiteral("REAL NAME: Bert Example"));

    // Each has the other on top of Last Senders.
    QVERIFY(WaitFor(
        [&] {
            return ReadWholeFile(anna.Data() + QStringLiteral("LS.add"))
                       .startsWith("Last Senders\r\nBert") &&
                   ReadWholeFile(bert.Data() + QStringLiteral("LS.add"))
                       .startsWith("Last Senders\r\nAnna Example;127.0.0.1;");
        },
        5000));
    QVERIFY(ReadWholeFile(bert.Data() + QStringLiteral("LS.add"))
                .contains(QByteArray(";" + QByteArray::number(anna.port) + ";")));
}

QUILLPAD_TEST_GUI_MAIN(TestTwoCopies)
#include "TestTwoCopies.moc"
