// A received note announced on the desktop: a copy of the program in this process, whose
// session bus is a private one with a notification service of the test's own, receives notes
// and checks from quillpad-send.
#include <QSignalSpy>
#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "BusServices.h"
#include "PrivateBus.h"
#include "ProgramCopy.h"
#include "TestSupport.h"
#include "message/CMessageWindow.h"
#include "message/NoteBlocks.h"
#include "shell/MessageBox.h"

namespace {

// A directory of the copy's own, made before the copy that keeps its store in it.
struct OwnDirectory {
    QTemporaryDir dir;
};

struct Receiver : OwnDirectory, ProgramCopy {
    quint16 port;
    QList<QPointer<CMessageWindow>> incoming;

    explicit Receiver(QObject* context, quint16 listening = FreePort())
        : ProgramCopy(dir.path() + QStringLiteral("/registry.reg"),
                      CopyStore("Rita Receiver", listening, 3,
                                "\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Data]\n"
                                "\"Data Directory\"=\"" +
                                    dir.path().toLocal8Bit() + "/data/\"\n")),
          port(listening) {
        QObject::connect(services.get(), &MessageServices::incomingWindowCreated, context,
                         [this](CMessageWindow* window) { incoming.append(window); });
    }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

// quillpad-send as a user of the name "Sam Script" runs it; this process keeps receiving
// meanwhile.
int QuillpadSend(const QStringList& arguments) {
    static const TestHome sender = [] {
        TestHome home;
        WriteWholeFile(home.StorePath(),
                       "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]"
                       "\n\"Full Name\"=\"Sam Script\"\n");
        return home;
    }();
    return RunServingEvents(QStringLiteral(QUILLPAD_SEND_BINARY), arguments, sender.Environment(),
                            30000);
}

int VisibleMessageWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<CMessageWindow*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

}  // namespace

class TestNoteNotifications : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void summaryLine_data();
    void summaryLine();
    void noteIsNotifiedAndItsClickBringsItsWindowForward();

private:
    std::unique_ptr<PrivateBus> m_bus;
};

void TestNoteNotifications::initTestCase() {
    m_bus = std::make_unique<PrivateBus>();
    if (!m_bus->IsRunning())
        QSKIP(qPrintable(QStringLiteral("no private D-Bus: ") + m_bus->Error()));
    // Before anything here connects to the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->Address().toUtf8());
    MessageBox::SetAnswerer([](QMessageBox::Icon, const QString&) { return QMessageBox::No; });
}

void TestNoteNotifications::summaryLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("line");
    QTest::newRow("first of several lines")
        << QStringLiteral("Build broke\r\nsee the log\r\n") << 120 << QStringLiteral("Build broke");
    QTest::newRow("blank lines first") << QStringLiteral("\r\n \t \r\n\tCoffee  at\tten?\r\n")
                                       << 120 << QStringLiteral("Coffee at ten?");
    QTest::newRow("control characters")
        << QStringLiteral("a\x01\x1b[31mb") << 120 << QStringLiteral("a [31mb");
    QTest::newRow("long line cut")
        << QString(300, QLatin1Char('x')) << 10 << QString(9, QLatin1Char('x')) + QChar(0x2026);
    QTest::newRow("no half character at the cut")
        << QString(8, QLatin1Char('x')) + QString::fromUtf8("\xf0\x9f\x98\x80") +
               QStringLiteral("yz")
        << 10 << QString(8, QLatin1Char('x')) + QChar(0x2026);
    QTest::newRow("nothing but blanks") << QStringLiteral(" \r\n\t\r\n") << 120 << QString();
}

void TestNoteNotifications::summaryLine() {
    QFETCH(QString, text);
    QFETCH(int, limit);
    QFETCH(QString, line);
    QCOMPARE(NoteBlocks::SummaryLine(text, limit), line);
}

void TestNoteNotifications::noteIsNotifiedAndItsClickBringsItsWindowForward() {
    NotificationService service(m_bus->Address(), QStringLiteral("notifications"));
    QVERIFY(service.IsRegistered());
    Receiver receiver(this);
    const auto windowsGo = qScopeGuard([] { CMessageWindow::DestroyAll(); });

    // A check is never announced; the note that follows it is.
    QCOMPARE(QuillpadSend({QStringLiteral("--check"), receiver.Address()}), 0);
    QCOMPARE(QuillpadSend({QStringLiteral("-m"),
                           QStringLiteral("Build 4711 is broken.\nThe log says why."),
                           receiver.Address()}),
             0);
    QVERIFY(WaitFor([&] { return service.Received().size() == 1; }, 10000));
    QCOMPARE(receiver.incoming.size(), 1);
    QPointer<CMessageWindow> window = receiver.incoming.first();
    QVERIFY(window && window->isVisible());
    const NotificationService::Shown shown = service.Received().first();
    QVERIFY2(shown.summary.contains(QStringLiteral("Sam Script")), qPrintable(shown.summary));
    QCOMPARE(shown.body, QStringLiteral("Build 4711 is broken."));

    // The user has put the note away and works elsewhere; the notification's click brings the
    // note back, in its normal state, active.
    window->showMinimized();
    receiver.frame->show();
    receiver.frame->activateWindow();
    QVERIFY(WaitFor([&] { return receiver.frame->isActiveWindow(); }, 5000));
    service.InvokeAction(shown.id, QStringLiteral("default"));
    QVERIFY(WaitFor([&] { return window && window->isActiveWindow() && !window->isMinimized(); },
                    5000));
    QVERIFY(window->isVisible());

    // Closing the note withdraws its notification; a click that comes anyway changes nothing.
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(
        WaitFor([&] { return !window && service.CloseRequests() == QList<uint>{shown.id}; }, 5000));
    service.InvokeAction(shown.id, QStringLiteral("default"));
    QTest::qWait(200);
    QCOMPARE(VisibleMessageWindows(), 0);
}

QUILLPAD_TEST_GUI_MAIN(TestNoteNotifications)
#include "TestNoteNotifications.moc"
