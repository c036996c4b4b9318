#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <csignal>
#include <thread>

#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "platform/SignalWatcher.h"
#include "platform/SingleInstance.h"
#include "platform/XdgAutostart.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"
#include "shell/Resources.h"

class TestQuillpadApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsMinimisedWithoutTray();
    void laterStartRestoresTheMinimisedWindow();
    void hiddenWindowWithoutTrayIconComesForward();
    void laterStartOpensItsLogsHere();
    void printMarginsReachViewsAndStore();
    void sessionEndEntersTheProgramForTheNextLogon();
    void exitAsksOnceAboutUnsentNotes();
    void cleanupTestCase();

private:
    void AskToComeForward(const QStringList& files = {});

    RecordingSoundPlayer m_sounds{false};
    std::unique_ptr<CQuillpadApp> m_app;
};

void TestQuillpadApp::initTestCase() {
    WriteWholeFile(CurrentTestHome().StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
                   "\"Full Name\"=\"Ann\"\n");
    m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds);
    QVERIFY(m_app->InitInstance({}));
    // Without sound hardware the Welcome sound is the 1000 Hz beep.
    QCOMPARE(m_sounds.Calls(), QStringList{QStringLiteral("beep 1000 300")});
    QVERIFY(m_app->HasMainWindow());
    QVERIFY(m_app->SettingsLoaded());
}

void TestQuillpadApp::startsMinimisedWithoutTray() {
    QVERIFY(!m_app->IsTrayMode());  // the offscreen platform has no notification area
    CMainFrame* frame = m_app->MainFrame();
    QCOMPARE(frame->windowTitle(), QStringLiteral("Quillpad"));
    QVERIFY(frame->isVisible());
    QVERIFY(frame->isMinimized());
    QVERIFY(!Resources::ProgramIcon().pixmap(32, 32).isNull());
    QVERIFY(!m_app->GetComputerName().isEmpty());
}

void TestQuillpadApp::AskToComeForward(const QStringList& files) {
    // The request blocks until answered, so it runs beside the event loop that answers it.
    SingleInstance later(QFileInfo(CurrentTestHome().StorePath()).absolutePath());
    QCOMPARE(later.Claim(), SingleInstance::Role::Secondary);
    std::atomic<bool> answered{false};
    std::thread requester([&] { answered = later.RequestComeForward(5000, files); });
    const bool done = WaitFor([&] { return answered.load(); }, 6000);
    requester.join();
    QVERIFY(done);
}

void TestQuillpadApp::laterStartRestoresTheMinimisedWindow() {
    CMainFrame* frame = m_app->MainFrame();
    AskToComeForward();
    QVERIFY(WaitFor([&] { return !frame->isMinimized(); }, 3000));
    QVERIFY(frame->isVisible());
}

void TestQuillpadApp::hiddenWindowWithoutTrayIconComesForward() {
    // Only a tray icon could bring back a hidden window; without one a later start does.
    CMainFrame* frame = m_app->MainFrame();
    QVERIFY(!frame->LivesInTray());
    frame->hide();
    AskToComeForward();
    QVERIFY(WaitFor([&] { return frame->isVisible(); }, 3000));
    QVERIFY(!frame->isMinimized());
    frame->showMinimized();
}

void TestQuillpadApp::laterStartOpensItsLogsHere() {
    // Opening logs from the file manager while the program runs: they open in the running copy.
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.qpd"));
    const QString second = dir.filePath(QStringLiteral("with blank\nline.qpd"));
    const QString third = dir.filePath(QStringLiteral("Zoë's notes.qpd"));
    for (const QString& path : {first, third})
        WriteWholeFile(path, "{\\rtf1\\ansi Opened here.\\par}");
    const int before = static_cast<int>(m_app->Workspace()->Documents().size());
    AskToComeForward({first, second, third});
    QStringList opened;
    for (const CQuillpadDoc* doc : m_app->Workspace()->Documents())
        opened.append(doc->PathName());
    QCOMPARE(opened.size(), before + 2);  // a name with a line end in it cannot be handed over
    QVERIFY(opened.contains(first));
    QVERIFY(opened.contains(third));
    for (CQuillpadDoc* doc : m_app->Workspace()->Documents()) {
        if (doc->PathName() == first || doc->PathName() == third)
            QVERIFY(m_app->Workspace()->CloseDocument(*doc));
    }
}

void TestQuillpadApp::printMarginsReachViewsAndStore() {
    LogWorkspace* workspace = m_app->Workspace();
    CQuillpadDoc* second = workspace->NewDocument();
    m_app->SetPrintMargins(1440, 720, 360, 0);
    for (const CQuillpadDoc* doc : workspace->Documents())
        QCOMPARE(workspace->ViewOf(*doc)->PrintMargins(), QMargins(1440, 720, 360, 0));
    QVERIFY(workspace->CloseDocument(*second));
    QVERIFY(ReadWholeFile(CurrentTestHome().StorePath())
                .contains("\"Margins\"=hex:a0,05,00,00,d0,02,00,00,68,01,00,00,00,00,00,00"));
}

void TestQuillpadApp::sessionEndEntersTheProgramForTheNextLogon() {
    const QString entry = XdgAutostart::EntryPath();
    QFile::remove(entry);
    QStringList asked;
    MessageBox::SetAnswerer([&asked](QMessageBox::Icon, const QString& text) {
        asked.append(text);
        return QMessageBox::Cancel;
    });
    // A document that may not close (its user cancels) keeps the session going: nothing is
    // entered.
    LogWorkspace* workspace = m_app->Workspace();
    CQuillpadDoc* scratch = workspace->NewDocument();
    workspace->ViewOf(*scratch)->AppendLine(QStringLiteral("unsaved"));
    QVERIFY(!m_app->QueryEndSession());
    QCOMPARE(asked.size(), 1);
    QVERIFY(!QFile::exists(entry));

    // Once every document may close, the month's log has saved itself and the program is
    // entered for one start.
    scratch->SetModified(false);
    QVERIFY(workspace->CloseDocument(*scratch));
    QFile::remove(m_app->GetLogFilePath());
    QVERIFY(m_app->QueryEndSession());
    QVERIFY(QFile::exists(m_app->GetLogFilePath()));
    QVERIFY(XdgAutostart::IsOwnEntry(entry));
    MessageBox::SetAnswerer({});
    QFile::remove(entry);
}

void TestQuillpadApp::exitAsksOnceAboutUnsentNotes() {
    QStringList questions;
    MessageBox::SetAnswerer([&questions](QMessageBox::Icon, const QString& text) {
        questions.append(text);
        return QMessageBox::No;
    });
    CMainFrame* frame = m_app->MainFrame();
    QSignalSpy closed(frame, &CMainFrame::frameClosed);
    QList<CMessageWindow*> drafts;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(frame->Commands().Execute(Cmd::SendMessage));
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<CMessageWindow*>(widget);
            if (window && !drafts.contains(window))
                drafts.append(window);
        }
    }
    QCOMPARE(drafts.size(), 3);
    questions.clear();  // the offer to fetch address books, as there are none
    // Two hold text; one is empty and is no draft.
    drafts[0]
        ->findChild<QPlainTextEdit*>(QStringLiteral("noteArea"))
        ->setPlainText(QStringLiteral("Half a"));
    drafts[1]
        ->findChild<QPlainTextEdit*>(QStringLiteral("noteArea"))
        ->setPlainText(QStringLiteral("thought"));

    // Answered No (the default): the program and the notes stay.
    frame->Action(Cmd::AppExit)->trigger();
    QVERIFY(frame->Commands().Execute(Cmd::TrayExit));
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions[0].contains(QStringLiteral("2 notes")));
    QCOMPARE(closed.count(), 0);
    QVERIFY(frame->isVisible());

    // A signal ends the program orderly without asking (what SIGTERM makes the watcher report;
    // the test framework keeps the real signal for itself).
    auto* watcher = m_app->findChild<SignalWatcher*>();
    QVERIFY(watcher);
    Q_EMIT watcher->terminationRequested(SIGTERM);
    QVERIFY(WaitFor([&] { return closed.count() == 1; }, 5000));
    QCOMPARE(questions.size(), 2);
    // Ending the program is no end of the session: nothing is entered for the next logon.
    QVERIFY(!QFile::exists(XdgAutostart::EntryPath()));
    MessageBox::SetAnswerer({});
}

void TestQuillpadApp::cleanupTestCase() {
    // A Leave sound from a wave file plays on its own: the end waits for it.
    m_sounds.SetHasOutputDevice(true);
    m_sounds.Clear();
    m_app->GetSettings().m_strLeaveSound = QStringLiteral("/sounds/leave.wav");
    m_app->ExitInstance();
    QCOMPARE(m_sounds.Calls(),
             (QStringList{QStringLiteral("file /sounds/leave.wav"), QStringLiteral("wait")}));
    m_app.reset();
}

QUILLPAD_TEST_GUI_MAIN(TestQuillpadApp)
#include "TestQuillpadApp.moc"
