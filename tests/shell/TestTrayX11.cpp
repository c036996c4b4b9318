// Tray mode under a real X server (Xvfb, no notification area of its own) with a private
// session bus: where a tray host is reached through a StatusNotifierWatcher the program lives
// behind its icon, and where there is none its window starts minimised.
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QtTest>
#include <csignal>
#include <memory>

#include "BusServices.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "X11Client.h"

namespace {

constexpr int kStartTimeoutMs = 20000;

enum class Tray { None, WatcherWithoutHost, StatusNotifierHost };

// Runs quillpad-send while this process keeps serving the bus (the program calls the
// watcher while it starts).
int QuillpadSend(const TestHome& home, const QStringList& arguments) {
    return RunServingEvents(QStringLiteral(QUILLPAD_SEND_BINARY), arguments, home.Environment(),
                            30000);
}

}  // namespace

Q_DECLARE_METATYPE(Tray)

class TestTrayX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsBehindAStatusNotifierTray_data();
    void startsBehindAStatusNotifierTray();

private:
    X11Client m_x11;
    std::unique_ptr<PrivateBus> m_bus;
};

void TestTrayX11::initTestCase() {
    if (!m_x11.IsConnected())
        QSKIP("no X display (the test runs under xvfb-run)");
    m_bus = std::make_unique<PrivateBus>();
    if (!m_bus->IsRunning())
        QSKIP(qPrintable(QStringLiteral("no private D-Bus: ") + m_bus->Error()));
}

void TestTrayX11::startsBehindAStatusNotifierTray_data() {
    QTest::addColumn<Tray>("tray");
    QTest::newRow("no tray") << Tray::None;
    QTest::newRow("watcher without a tray host") << Tray::WatcherWithoutHost;
    QTest::newRow("tray host through the watcher") << Tray::StatusNotifierHost;
}

void TestTrayX11::startsBehindAStatusNotifierTray() {
    QFETCH(Tray, tray);
    const TestHome home;
    const TestHome sender;
    const quint16 port = FreePort();
    WriteWholeFile(home.StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
                   "\"Full Name\"=\"Tess Tray\"\n\n"
                   "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n"
                   "\"Port\"=" +
                       StoreDword(port) + "\n\"Broadcast\"=" + StoreDword(0) +
                       "\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\FTP]\n"
                       "\"Server\"=\"\"\n");
    // Qt asks for the watcher once, as the program starts.
    std::unique_ptr<StatusNotifierWatcher> watcher;
    if (tray != Tray::None) {
        watcher = std::make_unique<StatusNotifierWatcher>(
            m_bus->Address(), QStringLiteral("watcher"), tray == Tray::StatusNotifierHost);
        QVERIFY(watcher->IsRegistered());
    }
    ProgramRun run(home);
    run.SetEnvironmentVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.SetEnvironmentVariable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus->Address());
    QVERIFY(run.Start());

    // A check is answered once start-up is over, and with it the window's placement.
    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    QVERIFY2(WaitFor(
                 [&] {
                     return !run.IsRunning() ||
                            QuillpadSend(sender, {QStringLiteral("--check"), address}) == 0;
                 },
                 kStartTimeoutMs) &&
                 run.IsRunning(),
             run.Output().constData());
    const unsigned long frame = m_x11.FindWindow("Quillpad", "Quillpad");
    if (tray != Tray::StatusNotifierHost) {
        QVERIFY(m_x11.IsOnScreen(frame));
        QVERIFY(m_x11.IsIconic(frame));
        QVERIFY(!watcher || watcher->RegisteredStatusNotifierItems().isEmpty());
    } else {
        QVERIFY(WaitFor([&] { return !watcher->ItemOwners().isEmpty(); }, 5000));
        QCOMPARE(watcher->ItemOwners().size(), 1);
        QVERIFY(!m_x11.IsOnScreen(frame));

        // The tray's click on the item opens a note, and the main window stays hidden.
        QDBusMessage activate = QDBusMessage::createMethodCall(
            watcher->ItemOwners().first(), QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
        activate.setArguments({0, 0});
        const QDBusPendingCall call = watcher->Connection().asyncCall(activate, 5000);
        QVERIFY2(WaitFor([&] { return m_x11.IsOnScreen(m_x11.FindWindow("Message", "Quillpad")); },
                         10000),
                 run.Output().constData());
        QVERIFY(WaitFor([&] { return call.isFinished(); }, 5000));
        QVERIFY(!call.isError());
        QVERIFY(!m_x11.IsOnScreen(m_x11.FindWindow("Quillpad", "Quillpad")));
    }

    run.Signal(SIGTERM);
    QVERIFY(run.WaitForExit(10000));
    QCOMPARE(run.ExitCode(), 0);
}

QUILLPAD_TEST_MAIN(TestTrayX11)
#include "TestTrayX11.moc"
