#include <QtTest>

#include "TestSupport.h"
#include "shell/WindowPlacement.h"

class TestWindowPlacement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordBytes();
    void malformedRecordsAreRefused_data();
    void malformedRecordsAreRefused();
    void screenRules_data();
    void screenRules();
};

void TestWindowPlacement::recordBytes() {
    WindowPlacement placement;
    placement.m_nShowCmd = WindowPlacement::Maximized;
    placement.m_nFlags = WindowPlacement::kRestoreToMaximized;
    placement.SetNormalRect(QRect(10, 20, 300, 200));
    const QByteArray bytes = placement.ToBytes();
    const QByteArray expected = QByteArray::fromHex(
        "2c000000"
        "02000000"
        "03000000"
        "ffffffff"
        "ffffffff"
        "ffffffff"
        "ffffffff"
        "0a000000"
        "14000000"
        "36010000"
        "dc000000");
    QCOMPARE(bytes, expected);  // right = 10 + 300, bottom = 20 + 200

    WindowPlacement back;
    QVERIFY(WindowPlacement::FromBytes(bytes, back));
    QCOMPARE(back.NormalRect(), QRect(10, 20, 300, 200));
    QCOMPARE(back.m_nShowCmd, 3);
    QCOMPARE(back.m_nFlags, 2);

    // Negative positions (a monitor left of the primary one) survive as signed numbers.
    placement.SetNormalRect(QRect(-1280, -5, 640, 480));
    QVERIFY(WindowPlacement::FromBytes(placement.ToBytes(), back));
    QCOMPARE(back.NormalRect(), QRect(-1280, -5, 640, 480));
}

void TestWindowPlacement::malformedRecordsAreRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = WindowPlacement().ToBytes();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << good.left(40);
    QTest::newRow("long") << good + QByteArray(4, '\0');
    QTest::newRow("wrong length field") << QByteArray(1, '\x2b') + good.mid(1);
}

void TestWindowPlacement::malformedRecordsAreRefused() {
    QFETCH(QByteArray, bytes);
    WindowPlacement placement;
    QVERIFY(!WindowPlacement::FromBytes(bytes, placement));
}

void TestWindowPlacement::screenRules_data() {
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("liesOn");      // used for the main window
    QTest::addColumn<bool>("intersects");  // used for every other window
    // Two monitors side by side: 1920x1080 and, to its right, 1280x1024.
    QTest::newRow("inside") << QRect(100, 100, 800, 600) << true << true;
    QTest::newRow("on the second monitor") << QRect(2000, 100, 800, 600) << true << true;
    QTest::newRow("across both") << QRect(1500, 100, 800, 600) << true << true;
    QTest::newRow("bottom right on the edge") << QRect(1120, 480, 800, 600) << false << true;
    QTest::newRow("one pixel inside the edge") << QRect(1119, 479, 800, 600) << true << true;
    QTest::newRow("below the smaller monitor") << QRect(2000, 900, 400, 150) << false << true;
    QTest::newRow("partly off the left") << QRect(-100, 100, 800, 600) << false << true;
    QTest::newRow("wholly off") << QRect(4000, 100, 800, 600) << false << false;
    QTest::newRow("no size") << QRect(QPoint(100, 100), QPoint(99, 99)) << false << false;
}

void TestWindowPlacement::screenRules() {
    QFETCH(QRect, rect);
    QFETCH(bool, liesOn);
    QFETCH(bool, intersects);
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    QCOMPARE(ScreenRules::LiesOn(rect, screens), liesOn);
    QCOMPARE(ScreenRules::Intersects(rect, screens), intersects);
}

QUILLPAD_TEST_MAIN(TestWindowPlacement)
#include "TestWindowPlacement.moc"
