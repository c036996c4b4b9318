// Every window of the program as a screen reader meets it: each control is announced in words a
// person would say, never by nothing and never by its object name.
#include <QAccessible>
#include <QTcpSocket>
#include <QtTest>
#include <QtWidgets>

#include "ProgramCopy.h"
#include "SpokenNames.h"
#include "TestSupport.h"
#include "addressbook/CAddressBookDlg.h"
#include "addressbook/CConfirmRetrievalDlg.h"
#include "addressbook/CDeleteAddressBookDlg.h"
#include "addressbook/CNewAddressBookDlg.h"
#include "addressbook/CRetrievalWaitDlg.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"
#include "shell/CAboutDialog.h"
#include "shell/CFindReplaceDialog.h"
#include "shell/COptionSheet.h"
#include "shell/Commands.h"
#include "shell/ControlNames.h"
#include "shell/FileDialog.h"
#include "shell/MessageBox.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 5000;

// What a screen reader says of a widget: its name, then its description.
QString Spoken(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) + QLatin1Char('|') +
                      face->text(QAccessible::Description)
                : QString();
}

}  // namespace

class TestAccessibleNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void everyControlIsSpokenInWords_data();
    void everyControlIsSpokenInWords();
    void windowNamesFollowTheirCaptions();
    void statusPanesSpeakWhatTheyShow();
    void captionsAreSpokenAsWords_data();
    void captionsAreSpokenAsWords();

private:
    void AnswerBoxes();
    // The unspoken controls of the window that opens, walked while it is up.
    QStringList UnspokenIn(const QString& window);
    // The same for a window shown modally by open(), closed again once walked.
    QStringList UnspokenInModal(const std::function<void()>& open);
    CMessageWindow* Compose();
    CMessageWindow* Receive(QTcpSocket& peer);

    std::unique_ptr<ProgramCopy> m_copy;
    QList<QPointer<CMessageWindow>> m_incoming;
};

void TestAccessibleNames::initTestCase() {
    AnswerBoxes();
}

void TestAccessibleNames::AnswerBoxes() {
    // Compose windows may ask whether to get address books; the answer is no.
    MessageBox::SetAnswerer([](QMessageBox::Icon, const QString&) { return QMessageBox::No; });
}

void TestAccessibleNames::init() {
    const TestHome& home = CurrentTestHome();
    m_copy = std::make_unique<ProgramCopy>(home.StorePath(), CopyStore("Me Myself", FreePort(), 2));
    QVERIFY(m_copy->Hub());
    m_incoming.clear();
    connect(m_copy->services.get(), &MessageServices::incomingWindowCreated, this,
            [this](CMessageWindow* window) { m_incoming.append(window); });
}

void TestAccessibleNames::cleanup() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CMessageWindow::DestroyAll();
    m_copy.reset();
}

CMessageWindow* TestAccessibleNames::Compose() {
    m_copy->services->SendMessage(*m_copy->Hub());
    return m_copy->services->LastComposeWindow();
}

CMessageWindow* TestAccessibleNames::Receive(QTcpSocket& peer) {
    NoteIdentity sender{
        QStringLiteral("Anna"), QStringLiteral("Room 4"), QString(), QString(), QString(), 6001};
    OutgoingNote note{QStringLiteral("Me;"), QStringLiteral("Lunch at one?"), QString(), QString()};
    QByteArray bytes;
    for (const CMsg& record : BuildNoteRecords(sender, QStringLiteral("127.0.0.1"), note))
        bytes += record.Encode();
    peer.connectToHost(QHostAddress::LocalHost,
                       static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    if (!peer.waitForConnected(kWaitMs))
        return nullptr;
    peer.write(bytes);
    peer.waitForBytesWritten(kWaitMs);
    if (!WaitFor([&] { return !m_incoming.isEmpty() && m_incoming.last()->isVisible(); }, kWaitMs))
        return nullptr;
    return m_incoming.last();
}

QStringList TestAccessibleNames::UnspokenInModal(const std::function<void()>& open) {
    QStringList unspoken{QStringLiteral("(no modal window opened)")};
    int ticks = 0;
    QTimer look;
    look.setInterval(20);
    connect(&look, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog) {
            unspoken = spoken::Unspoken(*dialog);
            dialog->reject();
        } else if (++ticks > kWaitMs / 20) {
            // Never left waiting: whatever dialog is up goes.
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* other = qobject_cast<QDialog*>(widget); other && other->isVisible())
                    other->reject();
            }
        } else {
            return;
        }
        look.stop();
    });
    look.start();
    open();
    look.stop();
    return unspoken;
}

QStringList TestAccessibleNames::UnspokenIn(const QString& window) {
    if (window == u"main window")
        return spoken::Unspoken(*m_copy->frame);
    if (window == u"main window in tray mode") {
        CQuillpadApp trayApp(CurrentTestHome().StorePath(), m_copy->sounds, true);
        trayApp.LoadSettings();
        CMainFrame frame(trayApp, std::make_unique<ManualTimer>());
        if (!frame.findChild<QMenu*>(u"trayMenu"_s))
            return {u"(no tray menu)"_s};
        return spoken::Unspoken(frame);
    }
    if (window == u"compose window") {
        CMessageWindow* compose = Compose();
        return compose ? spoken::Unspoken(*compose) : QStringList{QStringLiteral("(none)")};
    }
    if (window == u"received note") {
        QTcpSocket peer;
        CMessageWindow* received = Receive(peer);
        return received ? spoken::Unspoken(*received) : QStringList{QStringLiteral("(none)")};
    }
    if (window == u"find dialog" || window == u"replace dialog") {
        CFindReplaceDialog dialog(m_copy->frame.get());
        dialog.SetEditor(m_copy->Hub());
        if (window == u"find dialog")
            dialog.ShowFind();
        else
            dialog.ShowReplace();
        return spoken::Unspoken(dialog);
    }
    if (window == u"about box") {
        CAboutDialog about;
        about.show();
        return spoken::Unspoken(about);
    }
    if (window == u"options sheet") {
        COptionSheet sheet(m_copy->app->GetSettings(), [](const SoundSpec&) {});
        sheet.show();
        return spoken::Unspoken(sheet);
    }
    if (window == u"confirm get") {
        CConfirmRetrievalDlg confirm(QStringLiteral("ftp.example.org"), QStringLiteral("ann"),
                                     QStringLiteral("/books"));
        confirm.show();
        return spoken::Unspoken(confirm);
    }
    if (window == u"address book editor" || window == u"delete address book" ||
        window == u"new address book") {
        const Settings& settings = m_copy->app->GetSettings();
        std::unique_ptr<QDialog> dialog;
        if (window == u"address book editor")
            dialog = std::make_unique<CAddressBookDlg>(settings, m_copy->app->Store());
        else if (window == u"delete address book")
            dialog = std::make_unique<CDeleteAddressBookDlg>(settings, m_copy->app->Store());
        else
            dialog = std::make_unique<CNewAddressBookDlg>(settings, m_copy->app->Store());
        dialog->show();
        return spoken::Unspoken(*dialog);
    }
    if (window == u"get wait") {
        CRetrievalWaitDlg wait;
        wait.show();
        wait.ShowProgress(QStringLiteral("Connecting"));
        return spoken::Unspoken(wait);
    }
    if (window == u"message box" || window == u"question box") {
        MessageBox::SetAnswerer({});
        const QStringList unspoken = UnspokenInModal([&] {
            if (window == u"message box")
                MessageBox::Critical(nullptr, QStringLiteral("Something went wrong."));
            else
                MessageBox::QuestionWithCancel(nullptr, QStringLiteral("Save the log?"));
        });
        AnswerBoxes();
        return unspoken;
    }
    if (window == u"help box")
        return UnspokenInModal([&] { m_copy->frame->Commands().Execute(Cmd::HelpTopics); });
    if (window == u"open file dialog")
        return UnspokenInModal(
            [&] { FileDialog::GetOpenFileName(nullptr, m_copy->Data(), QStringLiteral("*.qpd")); });
    if (window == u"directory dialog")
        return UnspokenInModal([&] {
            FileDialog::GetExistingDirectory(nullptr, QStringLiteral("Choose a directory"),
                                             m_copy->Data());
        });
    return {QStringLiteral("(no such window)")};
}

void TestAccessibleNames::everyControlIsSpokenInWords_data() {
    QTest::addColumn<QString>("window");
    for (const char* window :
         {"main window", "main window in tray mode", "compose window", "received note",
          "find dialog", "replace dialog", "about box", "options sheet", "confirm get", "get wait",
          "address book editor", "delete address book", "new address book", "message box",
          "question box", "help box", "open file dialog", "directory dialog"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

void TestAccessibleNames::everyControlIsSpokenInWords() {
    QFETCH(QString, window);
    const QStringList unspoken = UnspokenIn(window);
    for (const QString& control : unspoken)
        qWarning().noquote() << "unspoken:" << control;
    QVERIFY2(unspoken.isEmpty(), qPrintable(u"%1 controls unspoken"_s.arg(unspoken.size())));
}

void TestAccessibleNames::windowNamesFollowTheirCaptions() {
    // A window whose caption changes is announced by the caption it shows.
    CFindReplaceDialog dialog(m_copy->frame.get());
    dialog.ShowReplace();
    QCOMPARE(dialog.accessibleName(), dialog.windowTitle());
    dialog.ShowFind();
    QCOMPARE(dialog.accessibleName(), dialog.windowTitle());

    auto* log = m_copy->frame->findChild<QMdiSubWindow*>(u"logWindow"_s);
    QVERIFY(log);
    QVERIFY(!log->windowTitle().isEmpty());
    QCOMPARE(log->accessibleName(), log->windowTitle());

    QTcpSocket peer;
    CMessageWindow* received = Receive(peer);
    QVERIFY(received);
    QVERIFY(received->windowTitle().startsWith(u"Anna@"_s));
    QCOMPARE(received->accessibleName(), received->windowTitle());
    received->OnCommand(CMessageWindow::ID_REPLY);
    QCOMPARE(received->accessibleName(), received->windowTitle());
}

void TestAccessibleNames::statusPanesSpeakWhatTheyShow() {
    // A pane is announced by what it is, and what it shows is read with it.
    m_copy->frame->UpdateStatusPanes();
    for (const char* name : {"portPane", "datePane", "timePane"}) {
        auto* pane = m_copy->frame->findChild<QLabel*>(QLatin1String(name));
        QVERIFY(pane);
        QVERIFY(!pane->text().trimmed().isEmpty());
        QVERIFY2(Spoken(pane).contains(pane->text().trimmed()), qPrintable(Spoken(pane)));
    }
    QStatusBar* bar = m_copy->frame->statusBar();
    bar->showMessage(QStringLiteral("Getting address books"));
    QVERIFY2(Spoken(bar).contains(bar->currentMessage()), qPrintable(Spoken(bar)));
}

void TestAccessibleNames::captionsAreSpokenAsWords_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("words");
    QTest::newRow("mnemonic and colon") << u"Re&place with:"_s << u"Replace with"_s;
    QTest::newRow("dots and shortcut") << u"&Open...\tCtrl+O"_s << u"Open"_s;
    QTest::newRow("ampersand shown") << u"Salt && &Pepper"_s << u"Salt & Pepper"_s;
    QTest::newRow("blanks around") << u" Data "_s << u"Data"_s;
    QTest::newRow("ampersand at the end") << u"Notes&"_s << u"Notes"_s;
}

void TestAccessibleNames::captionsAreSpokenAsWords() {
    QFETCH(QString, caption);
    QFETCH(QString, words);
    QCOMPARE(ControlNames::Words(caption), words);
}

QUILLPAD_TEST_GUI_MAIN(TestAccessibleNames)
#include "TestAccessibleNames.moc"
