#include <QtTest>
#include <atomic>
#include <thread>

#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "platform/SingleInstance.h"
#include "shell/CMainFrame.h"
#include "shell/Resources.h"

class TestQuillpadApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsMinimisedWithoutTray();
    void laterStartRestoresTheMinimisedWindow();
    void hiddenWindowWithoutTrayIconComesForward();
    void printMarginsReachViewsAndStore();
    void cleanupTestCase();

private:
    void AskToComeForward();

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

void TestQuillpadApp::AskToComeForward() {
    // The request blocks until answered, so it runs beside the event loop that answers it.
    SingleInstance later(QFileInfo(CurrentTestHome().StorePath()).absolutePath());
    QCOMPARE(later.Claim(), SingleInstance::Role::Secondary);
    std::atomic<bool> answered{false};
    std::thread requester([&] { answered = later.RequestComeForward(5000); });
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

void TestQuillpadApp::printMarginsReachViewsAndStore() {
    QMargins seen;
    connect(m_app.get(), &CQuillpadApp::printMarginsChanged, this,
            [&seen](const QMargins& m) { seen = m; });
    m_app->SetPrintMargins(1440, 720, 360, 0);
    QCOMPARE(seen, QMargins(1440, 720, 360, 0));
    QVERIFY(ReadWholeFile(CurrentTestHome().StorePath())
                .contains("\"Margins\"=hex:a0,05,00,00,d0,02,00,00,68,01,00,00,00,00,00,00"));
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
