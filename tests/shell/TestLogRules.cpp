// Rules of the log that need no window: margin conversions and the recent-file list.
#include <QtTest>

#include "TestSupport.h"
#include "app/CRegistry.h"
#include "platform/RegistryStore.h"
#include "shell/PageMargins.h"
#include "shell/RecentFileList.h"

class TestLogRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void marginConversions_data();
    void marginConversions();
    void rounding_data();
    void rounding();
    void recentFiles();
};

void TestLogRules::marginConversions_data() {
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("stored");
    QTest::newRow("default 715") << 715 << 500 << 720;  // 496.5 → 497 → 500 → 720
    QTest::newRow("zero") << 0 << 0 << 0;
    QTest::newRow("one inch") << 1440 << 1000 << 1440;
    QTest::newRow("half of ten") << 7 << 10 << 14;     // 4.86 → 5 → 10
    QTest::newRow("just below 10") << 13 << 10 << 14;  // 9.03 → 9 → 10 → 14.4 → 14
    QTest::newRow("negative") << -715 << -500 << -720;
}

void TestLogRules::marginConversions() {
    QFETCH(int, twips);
    QFETCH(int, shown);
    QFETCH(int, stored);
    QCOMPARE(PageMargins::TwipsToShown(twips), shown);
    QCOMPARE(PageMargins::ShownToTwips(PageMargins::TwipsToShown(twips)), stored);
    QCOMPARE(PageMargins::TwipsToShown(QMargins(twips, 0, 1440, 715)),
             QMargins(shown, 0, 1000, 500));
}

void TestLogRules::rounding_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("ten");  // RoundToTen(a)
    QTest::newRow("half up") << 5 << 1 << 2 << 3 << 10;
    QTest::newRow("half away from zero") << -5 << 1 << 2 << -3 << -10;
    QTest::newRow("below half") << 14 << 1 << 10 << 1 << 10;
    QTest::newRow("at half") << 15 << 1 << 10 << 2 << 20;
    QTest::newRow("large") << 2000000000 << 1440 << 1000 << -1 << 2000000000;
}

void TestLogRules::rounding() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, product);
    QFETCH(int, ten);
    if (product != -1)
        QCOMPARE(PageMargins::MulDiv(a, b, c), product);
    QCOMPARE(PageMargins::RoundToTen(a), ten);
    QCOMPARE(PageMargins::MulDiv(1, 1, 0), -1);
}

void TestLogRules::recentFiles() {
    QTemporaryDir dir;
    RecentFileList list;
    for (const char* name : {"a.qpd", "b.qpd", "c.qpd", "d.qpd", "e.qpd"})
        list.Add(dir.filePath(QLatin1String(name)));
    QCOMPARE(list.Paths().size(), 4);
    QVERIFY(list.Paths().first().endsWith(QStringLiteral("e.qpd")));
    QVERIFY(list.Paths().last().endsWith(QStringLiteral("b.qpd")));
    list.Add(dir.filePath(QStringLiteral("sub/../c.qpd")));  // the same file again moves up
    QCOMPARE(list.Paths().size(), 4);
    QVERIFY(list.Paths().first().endsWith(QStringLiteral("/c.qpd")));

    const RegistryStore store(dir.filePath(QStringLiteral("registry.reg")));
    QVERIFY(list.Save(store));
    const QByteArray text = ReadWholeFile(store.FilePath());
    QVERIFY(text.contains(
        "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Recent File List]\n\"File1\"=\""));
    QVERIFY(text.contains("\"File4\"=\""));
    RecentFileList loaded;
    loaded.Load(store);
    QCOMPARE(loaded.Paths(), list.Paths());

    loaded.Remove(0);
    loaded.Remove(7);
    QCOMPARE(loaded.Paths().size(), 3);
    QVERIFY(loaded.Save(store));
    RecentFileList shorter;
    shorter.Load(store);
    QCOMPARE(shorter.Paths().size(), 3);  // the unused File4 is stored empty and not listed
}

QUILLPAD_TEST_MAIN(TestLogRules)
#include "TestLogRules.moc"
