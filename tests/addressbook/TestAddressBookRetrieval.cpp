// Address/Get and the periodic update as the running program does them: the command, the
// Confirm dialog, the boxes, the wait cursor and the log, against a real FTP server on loopback.
#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>
#include <clocale>

#include "FtpServers.h"
#include "ProgramCopy.h"
#include "SilentNameServer.h"
#include "SpokenNames.h"
#include "TestSupport.h"
#include "addressbook/AddressBookRetrieval.h"
#include "addressbook/CConfirmRetrievalDlg.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/Commands.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRunTimeoutMs = 20000;

struct Box {
    QMessageBox::Icon icon;
    QString text;
};

}  // namespace

class TestAddressBookRetrieval : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void getCommandFollowsTheServerSetting();
    void getFetchesTheBooksAfterConfirming();
    void cancelInConfirmConnectsNowhere();
    void windowsKeepWorkingDuringAGet();
    void composeWindowWithoutBooksGetsThem();
    void periodicUpdateWritesIntoTheLog();
    void cancelEndsAGet();
    void aGetHasATimeLimit();
    void endingWithRunsGoingOn();
    void endingDuringAHangingNameLookup();

private:
    void Serve(const QStringList& names);
    void PointAt(const QString& host);
    int RunGet();

    QString m_noOwnNetwork;  // why the test process has no network of its own, if it has not
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<QTemporaryDir> m_served;
    QList<Box> m_boxes;
    QStringList m_confirmed;  // what each Confirm dialog showed
    QStringList m_unspoken;   // its controls without a spoken name
    bool m_confirm = true;
};

void TestAddressBookRetrieval::initTestCase() {
    // Before anything starts a thread or a server, which would stay in the old network.
    m_noOwnNetwork = silentdns::EnterOwnNetwork();
    std::setlocale(LC_TIME, "C");
    MessageBox::SetAnswerer([this](QMessageBox::Icon icon, const QString& text) {
        m_boxes.append({icon, text});
        return icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
    });
    CConfirmRetrievalDlg::SetAnswerer([this](const CConfirmRetrievalDlg& dialog) {
        QStringList shown{dialog.windowTitle()};
        for (const char* name : {"serverField", "usernameField", "directoryField"}) {
            auto* field = dialog.findChild<QLineEdit*>(QLatin1String(name));
            shown << (field && field->isReadOnly() ? field->text() : u"(editable)"_s);
        }
        for (auto* field : dialog.findChildren<QLineEdit*>())
            if (field->text() == ftptest::kPassword)
                shown << u"(password shown)"_s;
        m_confirmed.append(shown.join(u'|'));
        m_unspoken += spoken::Unspoken(dialog);
        return m_confirm;
    });
}

void TestAddressBookRetrieval::init() {
    const TestHome& home = CurrentTestHome();
    QDir(home.DataDirectory()).removeRecursively();
    m_copy = std::make_unique<ProgramCopy>(home.StorePath(), CopyStore("Me Myself", FreePort(), 2));
    QVERIFY(m_copy->Hub());
    m_served = std::make_unique<QTemporaryDir>();
    m_boxes.clear();
    m_confirmed.clear();
    m_unspoken.clear();
    m_confirm = true;
}

void TestAddressBookRetrieval::cleanup() {
    m_copy.reset();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestAddressBookRetrieval::Serve(const QStringList& names) {
    QDir(m_served->path()).removeRecursively();
    QDir().mkpath(m_served->path());
    for (const QString& name : names)
        WriteWholeFile(m_served->filePath(name),
                       "Served " + name.toUtf8() + "\r\nAnn;10.0.0.1;6001;");
}

void TestAddressBookRetrieval::PointAt(const QString& host) {
    Settings& settings = m_copy->app->GetSettings();
    settings.m_strFtpServer = host;
    settings.m_strFtpUsername = ftptest::kUser;
    settings.m_strFtpPassword = ftptest::kPassword;
    settings.m_strFtpDirectory = u"/"_s;
}

// Address/Get through the main window's command; the count it reports once it has ended.
int RunGetCommand(CMainFrame& frame, AddressBookRetrieval& retrieval) {
    QSignalSpy finished(&retrieval, &AddressBookRetrieval::getFinished);
    frame.Commands().Execute(Cmd::AddressGet);
    if (!retrieval.IsGetRunning())
        return -1;  // nothing was started
    if (!finished.wait(kRunTimeoutMs))
        return -2;
    return finished.first().first().toInt();
}

int TestAddressBookRetrieval::RunGet() {
    return RunGetCommand(*m_copy->frame, m_copy->services->Retrieval());
}

void TestAddressBookRetrieval::getCommandFollowsTheServerSetting() {
    CommandTable& commands = m_copy->frame->Commands();
    m_copy->app->GetSettings().m_strFtpServer.clear();
    QVERIFY(!commands.IsEnabled(Cmd::AddressGet));
    m_copy->app->GetSettings().m_strFtpServer = u"127.0.0.1"_s;
    QVERIFY(commands.IsEnabled(Cmd::AddressGet));
    m_copy->app->GetSettings().m_strFtpServer.clear();
    QVERIFY(!commands.IsEnabled(Cmd::AddressGet));
}

void TestAddressBookRetrieval::getFetchesTheBooksAfterConfirming() {
    Serve({u"Sales.add"_s, u"Team.add"_s, u"readme.txt"_s});
    ftptest::RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    const QString data = m_copy->app->GetSettings().m_strDataDirectory;

    QSignalSpy progress(m_copy->frame->statusBar(), &QStatusBar::messageChanged);
    QCOMPARE(RunGet(), 2);
    QCOMPARE(m_confirmed, QStringList{u"Confirm|"_s + server.Host() + u"|tester|/"_s});
    QCOMPARE(m_unspoken, QStringList());
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].icon, QMessageBox::Information);
    QCOMPARE(m_boxes[0].text, u"You have received 2 address books."_s);
    QCOMPARE(ReadWholeFile(data + u"Sales.add"_s),
             QByteArray("Served Sales.add\r\nAnn;10.0.0.1;6001;"));
    QVERIFY(QFileInfo::exists(data + u"Team.add"_s));
    QVERIFY(!QFileInfo::exists(data + u"readme.txt"_s));
    // The run's progress went to the status bar, which is back to its idle text now; the
    // listing file is gone.
    QVERIFY(std::any_of(progress.cbegin(), progress.cend(), [](const QList<QVariant>& shown) {
        return shown.first().toString().startsWith(u"221"_s);
    }));
    QCOMPARE(m_copy->frame->statusBar()->currentMessage(), QString());
    QCOMPARE(QDir(data).entryList({u"qpd*"_s}, QDir::Files), QStringList());
    QVERIFY(m_copy->frame->Commands().IsEnabled(Cmd::AddressGet));

    Serve({u"Sales.add"_s});
    m_boxes.clear();
    QCOMPARE(RunGet(), 1);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, u"You have received 1 address book."_s);
}

void TestAddressBookRetrieval::cancelInConfirmConnectsNowhere() {
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress(u"127.0.0.1"_s), 0));
    PointAt(u"127.0.0.1:%1"_s.arg(listener.serverPort()));
    m_confirm = false;
    QCOMPARE(RunGet(), -1);
    QCOMPARE(m_confirmed.size(), 1);
    QVERIFY(!listener.waitForNewConnection(300));
    QCOMPARE(m_boxes.size(), 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestAddressBookRetrieval::windowsKeepWorkingDuringAGet() {
    // A server slow to greet, then refusing the login.
    ftptest::ScriptedServer server(ftptest::ScriptServerPath(),
                                   {u"sleep 1500"_s, u"send 220 slow"_s, u"recv"_s,
                                    u"send 530 Not logged in."_s, u"recv"_s, u"send 221 Bye"_s});
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    AddressBookRetrieval& retrieval = m_copy->services->Retrieval();
    QSignalSpy finished(&retrieval, &AddressBookRetrieval::getFinished);
    m_copy->frame->Commands().Execute(Cmd::AddressGet);
    QVERIFY(retrieval.IsGetRunning());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // A second Get waits for the first to end.
    QVERIFY(!m_copy->frame->Commands().IsEnabled(Cmd::AddressGet));
    // The user-interface thread goes on meanwhile.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(50);
    QVERIFY(finished.wait(kRunTimeoutMs));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QCOMPARE(finished.first().first().toInt(), 0);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(m_boxes[0].text,
             u"tester@"_s + server.Host() + u":FTP Logon Failure: 530 Not logged in."_s);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(server.Commands(), (QStringList{u"USER tester"_s, u"QUIT"_s}));
}

void TestAddressBookRetrieval::composeWindowWithoutBooksGetsThem() {
    Serve({u"Sales.add"_s});
    ftptest::RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    QSignalSpy finished(&m_copy->services->Retrieval(), &AddressBookRetrieval::getFinished);
    m_copy->services->SendMessage(*m_copy->workspace->HubView());
    QPointer<CMessageWindow> window = m_copy->services->LastComposeWindow();
    QVERIFY(window);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, u"You do not have any address book! Do you wish to get one now?"_s);
    QVERIFY(finished.wait(kRunTimeoutMs));
    // Once the book is in, the window lists it with the recent lists.
    auto* books = window->findChild<QListWidget*>(u"bookList"_s);
    QVERIFY(books);
    QStringList listed;
    for (int row = 0; row < books->count(); ++row)
        listed << books->item(row)->text();
    QVERIFY2(listed.contains(u"Served Sales.add"_s), qPrintable(listed.join(u", "_s)));
    QCOMPARE(m_boxes.last().text, u"You have received 1 address book."_s);
    delete window.data();
}

void TestAddressBookRetrieval::periodicUpdateWritesIntoTheLog() {
    Serve({u"Sales.add"_s, u"Team.add"_s});
    ftptest::RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    Settings& settings = m_copy->app->GetSettings();
    // The log view armed its timer at start with the stored interval; a changed interval
    // counts from the next firing.
    settings.m_bUpdateAddressBook = 1;
    settings.m_nUpdateInterval = 2;
    auto* timer = static_cast<ManualTimer*>(m_copy->workspace->HubView()->UpdateTimer());
    QVERIFY(timer->IsActive());
    QSignalSpy finished(&m_copy->services->Retrieval(), &AddressBookRetrieval::updateFinished);
    const QString before = m_copy->Log();

    QCOMPARE(timer->Advance(timer->Period()), 1);
    QCOMPARE(timer->Period(), 2 * 3600000);
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), 2);
    const QStringList added = m_copy->Log().mid(before.size()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(added.size(), 2);
    QCOMPARE(added[0],
             u"------------------------ Notification Message ------------------------ "_s);
    static const QRegularExpression received(
        uR"(^You have received 2 address books @ \d\d:\d\d [AP]M - \d\d/\d\d/\d\d\.$)"_s);
    QVERIFY2(received.match(added[1]).hasMatch(), qPrintable(added[1]));
    QVERIFY(QFileInfo::exists(settings.m_strDataDirectory + u"Team.add"_s));
    QCOMPARE(m_boxes.size(), 0);

    // Without books nothing is logged; with updating off the timer only looks again later.
    Serve({});
    finished.clear();
    QCOMPARE(timer->Advance(2 * 3600000), 1);
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), 0);
    QCOMPARE(m_copy->Log().mid(before.size()).split(u'\n', Qt::SkipEmptyParts).size(), 2);
    settings.m_bUpdateAddressBook = 0;
    finished.clear();
    QCOMPARE(timer->Advance(2 * 3600000), 1);
    QVERIFY(!finished.wait(300));
    QCOMPARE(timer->Period(), 600000);
}

// A server that greets with "wait a moment" for six seconds.
QStringList Stalling() {
    QStringList steps;
    for (int i = 0; i < 60; ++i)
        steps << u"send 120 Wait a moment."_s << u"sleep 100"_s;
    return steps;
}

// The Get command's wait dialog once it shows, or none.
QDialog* ShownWaitDialog() {
    QDialog* shown = nullptr;
    const bool found = QTest::qWaitFor(
        [&shown] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget->objectName() == u"retrievalWaitDialog"_s && widget->isVisible())
                    shown = qobject_cast<QDialog*>(widget);
            return shown != nullptr;
        },
        5000);
    return found ? shown : nullptr;
}

void TestAddressBookRetrieval::cancelEndsAGet() {
    ftptest::ScriptedServer server(ftptest::ScriptServerPath(), Stalling());
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    AddressBookRetrieval& retrieval = m_copy->services->Retrieval();
    QSignalSpy finished(&retrieval, &AddressBookRetrieval::getFinished);
    m_copy->frame->Commands().Execute(Cmd::AddressGet);
    QPointer<QDialog> dialog = ShownWaitDialog();
    QVERIFY(dialog);
    auto* cancel = dialog->findChild<QPushButton*>(u"cancelButton"_s);
    QVERIFY(cancel);
    QCOMPARE(spoken::Unspoken(*dialog), QStringList());
    QElapsedTimer clock;
    clock.start();
    cancel->click();
    QVERIFY(finished.wait(2000));
    QVERIFY2(clock.elapsed() < TestTime(1500), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(finished.first().first().toInt(), 0);
    // The user knows why it ended: no box says so.
    QCOMPARE(m_boxes.size(), 0);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!dialog);
    QVERIFY(m_copy->frame->Commands().IsEnabled(Cmd::AddressGet));
}

void TestAddressBookRetrieval::aGetHasATimeLimit() {
    ftptest::ScriptedServer server(ftptest::ScriptServerPath(), Stalling());
    QVERIFY(server.Port() != 0);
    PointAt(server.Host());
    Retrieval::Limits limits;
    limits.m_nRunMs = 1500;
    m_copy->services->Retrieval().SetLimits(limits);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(RunGet(), 0);
    QVERIFY2(clock.elapsed() < TestTime(3000), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, u"FTP Error: the retrieval took longer than 1.5 seconds"_s);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // No "Connecting to ..." left behind: the first pane is back to its idle text.
    QCOMPARE(m_copy->frame->statusBar()->currentMessage(), QString());
    QCOMPARE(m_copy->frame->IdleMessage(), u"Ready"_s);
}

// The names of this process's threads.
QStringList ThreadNames() {
    QStringList names;
    const QStringList tasks =
        QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks)
        names << QString::fromUtf8(ReadWholeFile(u"/proc/self/task/%1/comm"_s.arg(task)).trimmed());
    return names;
}

void TestAddressBookRetrieval::endingWithRunsGoingOn() {
    // One run has ended (its end not yet seen by the event loop), another waits for a server
    // that never greets: the program ends.
    AddressBookRetrieval& retrieval = m_copy->services->Retrieval();
    QSignalSpy updated(&retrieval, &AddressBookRetrieval::updateFinished);
    PointAt(u"127.0.0.1:%1"_s.arg(FreePort()));
    retrieval.UpdateAddressBooks(m_copy->Hub());
    QVERIFY(updated.wait(kRunTimeoutMs));
    QThread::msleep(200);
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    PointAt(u"127.0.0.1:%1"_s.arg(silent.serverPort()));
    retrieval.UpdateAddressBooks(m_copy->Hub());
    m_copy->frame->Commands().Execute(Cmd::AddressGet);
    QVERIFY(retrieval.IsGetRunning());
    QThread::msleep(200);
    QElapsedTimer clock;
    clock.start();
    m_copy.reset();
    QVERIFY2(clock.elapsed() < TestTime(2000), qPrintable(QString::number(clock.elapsed())));
    // A joined thread may take a moment more to leave the system's list.
    QVERIFY2(
        QTest::qWaitFor([] { return !ThreadNames().contains(u"QuillpadFetch"_s); }, TestTime(1000)),
        qPrintable(ThreadNames().join(u", "_s)));
}

void TestAddressBookRetrieval::endingDuringAHangingNameLookup() {
    // The resolver would wait ten seconds for the name server; the end of the program does not.
    if (!m_noOwnNetwork.isEmpty())
        QSKIP(qPrintable(m_noOwnNetwork));
    silentdns::SilentNameServer nameServer;
    QVERIFY(nameServer.IsListening());
    PointAt(silentdns::kUnansweredName);
    m_copy->services->Retrieval().UpdateAddressBooks(m_copy->Hub());
    m_copy->frame->Commands().Execute(Cmd::AddressGet);
    QVERIFY(m_copy->services->Retrieval().IsGetRunning());
    QThread::msleep(300);
    QElapsedTimer clock;
    clock.start();
    m_copy.reset();
    QVERIFY2(clock.elapsed() < TestTime(2000), qPrintable(QString::number(clock.elapsed())));
    // A joined thread may take a moment more to leave the system's list.
    QVERIFY2(
        QTest::qWaitFor([] { return !ThreadNames().contains(u"QuillpadFetch"_s); }, TestTime(1000)),
        qPrintable(ThreadNames().join(u", "_s)));
}

QTEST_MAIN(TestAddressBookRetrieval)
#include "TestAddressBookRetrieval.moc"
