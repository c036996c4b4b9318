// Desktop notifications against a notification service of the test's own on a private bus.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "BusServices.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "platform/DesktopNotifier.h"

class TestDesktopNotifier : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void bodyShowsAsTyped_data();
    void bodyShowsAsTyped();
    void onlyTheDefaultActionOfItsOwnServiceCounts();
    void withdrawnNotificationsAreNeverLeftShown();
    void silentServiceHoldsNothingUp();
    void serviceThatComesLaterIsUsed();
    void withoutBusNothingIsAsked();

private:
    std::unique_ptr<DesktopNotifier> MakeNotifier() const;
    QString ServiceName();

    std::unique_ptr<PrivateBus> m_bus;
    QDBusConnection m_client{QString()};
    int m_nServices = 0;
};

void TestDesktopNotifier::initTestCase() {
    m_bus = std::make_unique<PrivateBus>();
    if (!m_bus->IsRunning())
        QSKIP(qPrintable(QStringLiteral("no private D-Bus: ") + m_bus->Error()));
    m_client = QDBusConnection::connectToBus(m_bus->Address(), QStringLiteral("client"));
    QVERIFY(m_client.isConnected());
}

std::unique_ptr<DesktopNotifier> TestDesktopNotifier::MakeNotifier() const {
    return std::make_unique<DesktopNotifier>(QStringLiteral("Quillpad"), QStringLiteral("quillpad"),
                                             m_client);
}

QString TestDesktopNotifier::ServiceName() {
    return QStringLiteral("service%1").arg(++m_nServices);
}

void TestDesktopNotifier::bodyShowsAsTyped_data() {
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QString>("shown");
    const QStringList plain{QStringLiteral("actions"), QStringLiteral("body")};
    QTest::newRow("service shows plain text") << plain << QStringLiteral("a < b & <i>c</i>");
    QTest::newRow("service reads markup") << (plain + QStringList{QStringLiteral("body-markup")})
                                          << QStringLiteral("a &lt; b &amp; &lt;i&gt;c&lt;/i&gt;");
}

void TestDesktopNotifier::bodyShowsAsTyped() {
    QFETCH(QStringList, capabilities);
    QFETCH(QString, shown);
    NotificationService service(m_bus->Address(), ServiceName(), capabilities);
    QVERIFY(service.IsRegistered());
    auto notifier = MakeNotifier();
    QVERIFY(notifier->Notify(QStringLiteral("Note from <Anna>"),
                             QStringLiteral("a < b & <i>c</i>")) != 0);
    QVERIFY(WaitFor([&] { return service.Received().size() == 1; }, 5000));
    const NotificationService::Shown& received = service.Received().first();
    QCOMPARE(received.body, shown);
    QCOMPARE(received.summary, QStringLiteral("Note from <Anna>"));  // never markup
    QCOMPARE(received.appName, QStringLiteral("Quillpad"));
    QCOMPARE(received.icon, QStringLiteral("quillpad"));
    QCOMPARE(received.actions.value(0), QStringLiteral("default"));
}

void TestDesktopNotifier::onlyTheDefaultActionOfItsOwnServiceCounts() {
    NotificationService service(m_bus->Address(), ServiceName());
    QVERIFY(service.IsRegistered());
    auto notifier = MakeNotifier();
    QSignalSpy invoked(notifier.get(), &DesktopNotifier::defaultActionInvoked);
    const quint32 a = notifier->Notify(QStringLiteral("A"), QString());
    const quint32 b = notifier->Notify(QStringLiteral("B"), QString());
    const quint32 c = notifier->Notify(QStringLiteral("C"), QString());
    QVERIFY(WaitFor([&] { return service.Received().size() == 3; }, 5000));
    const auto serverId = [&](const char* summary) {
        for (const NotificationService::Shown& shown : service.Received()) {
            if (shown.summary == QLatin1String(summary))
                return shown.id;
        }
        return 0u;
    };

    service.InvokeAction(serverId("B"), QStringLiteral("default"));
    service.InvokeAction(serverId("A"), QStringLiteral("reply"));
    // Another program on the bus sends the same signal; the round trip to the bus puts it
    // before the service's next ones.
    QDBusConnection impostor =
        QDBusConnection::connectToBus(m_bus->Address(), QStringLiteral("impostor"));
    QDBusMessage forged = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    forged.setArguments({serverId("A"), QStringLiteral("default")});
    QVERIFY(impostor.send(forged));
    impostor.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
    // A notification the service has closed is forgotten.
    service.SayClosed(serverId("B"));
    service.InvokeAction(serverId("B"), QStringLiteral("default"));
    service.InvokeAction(serverId("C"), QStringLiteral("default"));

    QVERIFY(WaitFor([&] { return !invoked.isEmpty() && invoked.last().at(0) == c; }, 5000));
    QList<quint32> ids;
    for (const QList<QVariant>& signal : std::as_const(invoked))
        ids.append(signal.at(0).value<quint32>());
    QCOMPARE(ids, (QList<quint32>{b, c}));
    QCOMPARE(notifier->FollowedCount(), 2);
    Q_UNUSED(a);
}

void TestDesktopNotifier::withdrawnNotificationsAreNeverLeftShown() {
    NotificationService service(m_bus->Address(), ServiceName());
    QVERIFY(service.IsRegistered());
    auto notifier = MakeNotifier();

    // Shown (its click counts): withdrawn at once.
    QSignalSpy invoked(notifier.get(), &DesktopNotifier::defaultActionInvoked);
    const quint32 shown = notifier->Notify(QStringLiteral("shown"), QString());
    QVERIFY(WaitFor([&] { return service.Received().size() == 1; }, 5000));
    service.InvokeAction(service.Received().first().id, QStringLiteral("default"));
    QVERIFY(WaitFor([&] { return invoked.size() == 1; }, 5000));
    notifier->Close(shown);
    QVERIFY(WaitFor([&] { return service.CloseRequests().size() == 1; }, 5000));
    QCOMPARE(service.CloseRequests().first(), service.Received().first().id);

    // Withdrawn before the service asked what it can show: never asked for.
    service.SetHolding(true);
    const quint32 early = notifier->Notify(QStringLiteral("early"), QString());
    QVERIFY(WaitFor([&] { return service.HeldCount() == 1; }, 5000));
    notifier->Close(early);
    service.ReleaseHeld();

    // Withdrawn while the service has not yet said its id: withdrawn once it has.
    const quint32 late = notifier->Notify(QStringLiteral("late"), QString());
    QVERIFY(WaitFor([&] { return service.HeldCount() == 1; }, 5000));
    service.ReleaseHeld();
    QVERIFY(WaitFor([&] { return service.HeldCount() == 1; }, 5000));
    QCOMPARE(service.Received().size(), 2);
    QCOMPARE(service.Received().last().summary, QStringLiteral("late"));
    notifier->Close(late);
    service.ReleaseHeld();
    QVERIFY(WaitFor([&] { return service.CloseRequests().size() == 2; }, 5000));
    QCOMPARE(service.CloseRequests().last(), service.Received().last().id);
    QCOMPARE(notifier->FollowedCount(), 0);
}

void TestDesktopNotifier::silentServiceHoldsNothingUp() {
    auto service = std::make_unique<NotificationService>(m_bus->Address(), ServiceName());
    QVERIFY(service->IsRegistered());
    service->SetHolding(true);
    auto notifier = MakeNotifier();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 3; ++i)
        QVERIFY(notifier->Notify(QStringLiteral("note"), QString()) != 0);
    // A call that waited for the answer would wait for the reply time-out.
    QVERIFY(clock.elapsed() < TestTime(DesktopNotifier::kReplyTimeoutMs / 10));
    QVERIFY(WaitFor([&] { return service->HeldCount() == 3; }, 5000));
    QCOMPARE(notifier->FollowedCount(), 3);
    // The service goes without answering: the bus answers for it, and nothing stays followed.
    service.reset();
    QVERIFY(WaitFor([&] { return notifier->FollowedCount() == 0; }, 5000));
}

void TestDesktopNotifier::serviceThatComesLaterIsUsed() {
    auto notifier = MakeNotifier();
    QVERIFY(notifier->Notify(QStringLiteral("nobody"), QString()) != 0);
    QVERIFY(WaitFor([&] { return notifier->FollowedCount() == 0; }, 5000));

    NotificationService service(m_bus->Address(), ServiceName());
    QVERIFY(service.IsRegistered());
    notifier->Notify(QStringLiteral("somebody"), QString());
    QVERIFY(WaitFor([&] { return service.Received().size() == 1; }, 5000));
    QCOMPARE(service.Received().first().summary, QStringLiteral("somebody"));
}

void TestDesktopNotifier::withoutBusNothingIsAsked() {
    DesktopNotifier notifier(QStringLiteral("Quillpad"), QStringLiteral("quillpad"),
                             QDBusConnection(QStringLiteral("no such connection")));
    QCOMPARE(notifier.Notify(QStringLiteral("note"), QString()), 0u);
    QCOMPARE(notifier.FollowedCount(), 0);
}

QUILLPAD_TEST_MAIN(TestDesktopNotifier)
#include "TestDesktopNotifier.moc"
