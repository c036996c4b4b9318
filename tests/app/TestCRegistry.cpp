#include <QtTest>

#include "TestSupport.h"
#include "app/CRegistry.h"
#include "platform/RegistryStore.h"

namespace {
constexpr CRegistry::Root HKCU = CRegistry::HKEY_CURRENT_USER;
}

class TestCRegistry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void openFindsOnlyExistingKeys();
    void createSubKeyMovesToTheNewKey();
    void readNumberTakesAtMostFourBytes_data();
    void readNumberTakesAtMostFourBytes();
    void readStringLimitsLength_data();
    void readStringLimitsLength();
    void readBinaryHonoursTheCallersSize();
    void operationsWithoutOpenKeyFail();

private:
    void Store(const QByteArray& valueLine);

    QTemporaryDir m_dir;
    QString m_path;
};

void TestCRegistry::init() {
    m_path = m_dir.filePath(
        QStringLiteral("%1.reg").arg(QString::fromLatin1(QTest::currentTestFunction())) +
        QString::fromLatin1(QTest::currentDataTag()));
    QFile::remove(m_path);
}

void TestCRegistry::Store(const QByteArray& valueLine) {
    WriteWholeFile(m_path, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\T]\n" + valueLine + "\n");
}

void TestCRegistry::openFindsOnlyExistingKeys() {
    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(!reg.Open(HKCU, QStringLiteral("Software\\T")));
    QCOMPARE(reg.Status(), 2);
    QVERIFY(!reg.IsOpen());
    QVERIFY(!reg.ErrorText().isEmpty());
    QVERIFY(!QFile::exists(m_path));  // looking never creates anything

    Store("\"V\"=dword:00000001");
    QVERIFY(reg.Open(HKCU, QStringLiteral("software\\t")));
    QCOMPARE(reg.Status(), 0);
    QCOMPARE(reg.KeyPath(), QStringLiteral("software\\t"));
    QVERIFY(reg.Open(HKCU, QStringLiteral("Software")));  // keys above a listed key exist
    QVERIFY(reg.Open(HKCU, QString()));                   // the root always opens
}

void TestCRegistry::createSubKeyMovesToTheNewKey() {
    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(
        reg.OpenAndCreate(HKCU, QString(), QStringLiteral("Software\\Vexor\\Quillpad\\3.0\\FTP")));
    QVERIFY(reg.WriteNumber(QStringLiteral("Update Interval"), 4));
    QCOMPARE(ReadWholeFile(m_path),
             QByteArray("REGEDIT4\n\n"
                        "[HKEY_CURRENT_USER\\Software]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Vexor]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0]\n\n"
                        "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\FTP]\n"
                        "\"Update Interval\"=dword:00000004\n\n"));
    // Creating an existing key opens it and keeps its values.
    QVERIFY(reg.OpenAndCreate(HKCU, QStringLiteral("Software\\Vexor"),
                              QStringLiteral("Quillpad\\3.0\\ftp")));
    quint32 hours = 0;
    QVERIFY(reg.ReadNumber(QStringLiteral("UPDATE INTERVAL"), hours));
    QCOMPARE(hours, 4u);
}

void TestCRegistry::readNumberTakesAtMostFourBytes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("number");
    // The number starts as 0xaabbccdd: shorter data fills only its low bytes.
    QTest::newRow("dword") << QByteArray("\"N\"=dword:00001771") << true << 0x1771u;
    QTest::newRow("two bytes") << QByteArray("\"N\"=hex:01,02") << true << 0xaabb0201u;
    QTest::newRow("type not examined") << QByteArray("\"N\"=\"ab\"") << true << 0xaa006261u;
    QTest::newRow("five bytes") << QByteArray("\"N\"=hex:01,02,03,04,05") << false << 0xaabbccddu;
    QTest::newRow("text number is not parsed")
        << QByteArray("\"N\"=\"6001\"") << false << 0xaabbccddu;
    QTest::newRow("missing") << QByteArray("\"Other\"=dword:1") << false << 0xaabbccddu;
}

void TestCRegistry::readNumberTakesAtMostFourBytes() {
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    QFETCH(quint32, number);
    Store(line);
    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(reg.Open(HKCU, QStringLiteral("Software\\T")));
    quint32 read = 0xaabbccdd;
    QCOMPARE(reg.ReadNumber(QStringLiteral("N"), read), ok);
    QCOMPARE(read, number);
}

void TestCRegistry::readStringLimitsLength_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("199") << QByteArray(199, 'x') << true;
    QTest::newRow("200") << QByteArray(200, 'x') << true;
    QTest::newRow("260") << QByteArray(260, 'x') << true;
    QTest::newRow("261") << QByteArray(261, 'x') << false;
    // Characters, not bytes, are counted: 260 two-byte characters are read.
    QByteArray wide;
    for (int i = 0; i < 260; ++i)
        wide.append("\xc3\xa9");
    QTest::newRow("260 wide") << wide << true;
    QTest::newRow("261 wide") << wide + "\xc3\xa9" << false;
}

void TestCRegistry::readStringLimitsLength() {
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(reg.OpenAndCreate(HKCU, QString(), QStringLiteral("Software\\T")));
    QVERIFY(reg.WriteString(QStringLiteral("S"), text));
    QByteArray read = "previous";
    QCOMPARE(reg.ReadString(QStringLiteral("S"), read), ok);
    QCOMPARE(read, ok ? text : QByteArray("previous"));
    QCOMPARE(reg.Status(), ok ? 0 : 234);
}

void TestCRegistry::readBinaryHonoursTheCallersSize() {
    Store("\"B\"=hex:01,02,03");
    const RegistryStore store(m_path);
    CRegistry reg(store);
    char buffer[4] = {'w', 'x', 'y', 'z'};
    quint32 size = 4;
    QVERIFY(reg.OpenAndReadBinary(HKCU, QStringLiteral("Software\\T"), QStringLiteral("B"), buffer,
                                  size));
    QCOMPARE(size, 3u);
    QCOMPARE(QByteArray(buffer, 4), QByteArray("\x01\x02\x03z"));

    size = 2;
    QVERIFY(!reg.ReadBinary(QStringLiteral("B"), buffer, size));
    QCOMPARE(size, 2u);
    QCOMPARE(reg.Status(), 234);

    QVERIFY(reg.WriteBinary(QStringLiteral("E"), nullptr, 0));
    size = 4;
    QVERIFY(reg.ReadBinary(QStringLiteral("E"), buffer, size));
    QCOMPARE(size, 0u);
}

void TestCRegistry::operationsWithoutOpenKeyFail() {
    const RegistryStore store(m_path);
    CRegistry reg(store);
    quint32 number = 0;
    QVERIFY(!reg.ReadNumber(QStringLiteral("N"), number));
    QCOMPARE(reg.Status(), 6);
    QVERIFY(!reg.WriteNumber(QStringLiteral("N"), 1));
    QVERIFY(!reg.CreateSubKey(QStringLiteral("K")));
    QVERIFY(!QFile::exists(m_path));
}

QUILLPAD_TEST_MAIN(TestCRegistry)
#include "TestCRegistry.moc"
