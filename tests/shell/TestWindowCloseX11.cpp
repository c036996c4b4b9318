// The main window under a real X server (Xvfb): closed the way a window manager closes it,
// and placed again at the next start.
#include <QtTest>
#include <csignal>

#include "TestSupport.h"
#include "X11Client.h"
#include "platform/RegistryDocument.h"
#include "shell/WindowPlacement.h"

namespace {

constexpr int kStartTimeoutMs = 15000;

QByteArray StoreWithPlacement(const QByteArray& placementHex) {
    QByteArray store =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n\"Full "
        "Name\"=\"Ann\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Windows]\n\"Always On "
        "Top\"=dword:00000000\n";
    if (!placementHex.isEmpty())
        store += "\"Main Window\"=hex:" + placementHex + "\n";
    return store;
}

QByteArray HexList(const QByteArray& bytes) {
    return bytes.toHex(',');
}

}  // namespace

class TestWindowCloseX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void closeButtonExitsAndNextStartRestores_data();
    void closeButtonExitsAndNextStartRestores();

private:
    // Starts the program, closes it with the close button, returns the saved placement.
    WindowPlacement RunAndClose(const TestHome& home);

    X11Client m_x11;
};

void TestWindowCloseX11::initTestCase() {
    if (!m_x11.IsConnected())
        QSKIP("no X display (the test runs under xvfb-run)");
}

WindowPlacement TestWindowCloseX11::RunAndClose(const TestHome& home) {
    WindowPlacement placement;
    ProgramRun run(home);
    run.SetEnvironmentVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    [&] {
        QVERIFY(run.Start());
        unsigned long window = 0;
        QVERIFY(WaitFor(
            [&] {
                window = m_x11.FindWindow("Quillpad", "Quillpad");
                return window != 0 || !run.IsRunning();
            },
            kStartTimeoutMs));
        QVERIFY2(window, run.Output().constData());
        QTest::qWait(300);
        QVERIFY(m_x11.RequestClose(window));
        QVERIFY(run.WaitForExit(5000));
        QCOMPARE(run.ExitCode(), 0);
    }();
    const RegistryDocument doc = RegistryDocument::Parse(ReadWholeFile(home.StorePath()));
    if (const RegKey* key =
            doc.FindKey("HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Windows")) {
        if (const RegValue* value = key->FindValue("Main Window"))
            WindowPlacement::FromBytes(value->data, placement);
    }
    return placement;
}

void TestWindowCloseX11::closeButtonExitsAndNextStartRestores_data() {
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<bool>("used");
    // Xvfb runs with one 1024x768 screen.
    QTest::newRow("on the screen") << QRect(100, 120, 500, 400) << true;
    QTest::newRow("partly off the screen") << QRect(800, 120, 500, 400) << false;
}

void TestWindowCloseX11::closeButtonExitsAndNextStartRestores() {
    QFETCH(QRect, saved);
    QFETCH(bool, used);
    const TestHome home;
    WindowPlacement placement;
    placement.SetNormalRect(saved);
    WriteWholeFile(home.StorePath(), StoreWithPlacement(HexList(placement.ToBytes())));

    const WindowPlacement after = RunAndClose(home);
    QCOMPARE(after.NormalRect().isValid(), true);
    QCOMPARE(after.NormalRect() == saved, used);

    // The placement saved by the close is used by the next start, which saves it unchanged.
    if (!used) {
        const WindowPlacement again = RunAndClose(home);
        QCOMPARE(again.NormalRect(), after.NormalRect());
    }
}

QUILLPAD_TEST_MAIN(TestWindowCloseX11)
#include "TestWindowCloseX11.moc"
