#include <QtTest>

#include "TestSupport.h"
#include "app/CRegistry.h"
#include "app/Settings.h"
#include "platform/RegistryStore.h"

namespace {

QByteArray DefaultStore(const QString& dataDirectory) {
    return "REGEDIT4\n\n"
           "[HKEY_CURRENT_USER\\Software]\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor]\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad]\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0]\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Editor]\n"
           "\"Margins\"=hex:cb,02,00,00,cb,02,00,00,cb,02,00,00,cb,02,00,00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Data]\n"
           "\"Data Directory\"=\"" +
           dataDirectory.toLocal8Bit() +
           "\"\n"
           "\"Save Log\"=dword:00000001\n"
           "\"Save Log Interval\"=dword:0000000a\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n"
           "\"Port\"=dword:00001771\n"
           "\"Socket Timeout\"=dword:00000005\n"
           "\"Broadcast\"=dword:00000001\n"
           "\"Broadcast Port\"=dword:00001772\n"
           "\"Broadcast Interval\"=dword:0000000f\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\FTP]\n"
           "\"Server\"=\"127.0.0.1\"\n"
           "\"Username\"=\"Quillpad\"\n"
           "\"Password\"=hex(1):e6,eb,e3,c9,d9,dd,f2,fd,ff,00\n"
           "\"Directory\"=\"E:\\\\FTP\\\\Quillpad\\\\\"\n"
           "\"Update Address Book\"=dword:00000001\n"
           "\"Update Interval\"=dword:00000004\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
           "\"Full Name\"=\"\"\n"
           "\"Location\"=\"\"\n"
           "\"Phone\"=\"\"\n"
           "\"Fax\"=\"\"\n"
           "\"Quote\"=\"\"\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Sound]\n"
           "\"Notify\"=dword:00000001\n"
           "\"Notify Interval\"=dword:00000005\n"
           "\"Welcome\"=\"\"\n"
           "\"Message\"=\"\"\n"
           "\"Leave\"=\"\"\n"
           "\"Error\"=\"\"\n\n"
           "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Windows]\n"
           "\"Always On Top\"=dword:00000001\n\n";
}

QByteArray Section(const char* name) {
    return "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\" + QByteArray(name) + "]\n";
}

// The store text with one line (or one whole section, given its header) taken out.
QByteArray Without(QByteArray text, const QByteArray& part) {
    const qsizetype at = text.indexOf(part);
    Q_ASSERT(at >= 0);
    qsizetype end =
        part.startsWith('[') ? text.indexOf("\n\n", at) + 2 : text.indexOf('\n', at) + 1;
    return text.remove(at, end - at);
}

QByteArray Replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void firstStartWritesEveryDefault();
    void missingValueKeepsItsEarlierContentAndIsNotWrittenBack();
    void missingSectionGetsItsDefaultsBack();
    void longTextsAreNotRead_data();
    void longTextsAreNotRead();
    void storedValuesAreUsedAsTheyAre();
    void shortMarginsFillOnlyLeadingMargins();
    void passwordIsStoredScrambled();
    void dataDirectoryIsNeverLeftEmpty_data();
    void dataDirectoryIsNeverLeftEmpty();
    void saveSettingsWritesOnlyItsSection();
    void unreadableSectionStillLoads();
    void startClearsWhatKilledWritesLeft();

private:
    Settings Load(int* nameMessages = nullptr);

    QTemporaryDir m_dir;
    QString m_storePath;
    QString m_defaultData;
};

void TestSettings::init() {
    m_storePath = m_dir.filePath(QStringLiteral("%1/%2/registry.reg")
                                     .arg(QString::fromLatin1(QTest::currentTestFunction()),
                                          QString::fromLatin1(QTest::currentDataTag())));
    m_defaultData = SettingsDefaults::DataDirectory();
    QCOMPARE(m_defaultData, CurrentTestHome().DataDirectory());
}

void TestSettings::startClearsWhatKilledWritesLeft() {
    // A kill during the last save of a month's log leaves a copy as large as the log that its
    // own file would otherwise keep for a year.
    QDir(m_defaultData).removeRecursively();
    const QString config = QFileInfo(m_storePath).absolutePath() + QLatin1Char('/');
    const QStringList left{m_defaultData + QStringLiteral(".March.qpd.a1B2c3"),
                           m_defaultData + QStringLiteral(".Crew.ADD.Zz9Yy8"),
                           config + QStringLiteral(".registry.reg.Qq1Ww2")};
    const QStringList kept{m_defaultData + QStringLiteral(".notes.txt.a1B2c3"),
                           m_defaultData + QStringLiteral(".March.qpd.a1B2")};
    for (const QString& path : left + kept) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        WriteWholeFile(path, "{\\rtf1 half");
    }
    Load();
    for (const QString& path : left)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    for (const QString& path : kept)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
}

Settings TestSettings::Load(int* nameMessages) {
    Settings settings;
    const RegistryStore store(m_storePath);
    int shown = 0;
    LoadSettings(settings, store, [&shown] { ++shown; });
    if (nameMessages)
        *nameMessages = shown;
    return settings;
}

void TestSettings::firstStartWritesEveryDefault() {
    QDir(m_defaultData).removeRecursively();
    int nameMessages = 0;
    const Settings s = Load(&nameMessages);

    QCOMPARE(ReadWholeFile(m_storePath), DefaultStore(m_defaultData));
    QCOMPARE(nameMessages, 1);
    QCOMPARE(s.m_strFtpPassword, QStringLiteral("TulipGate"));
    QCOMPARE(s.m_nPort, 6001u);
    QCOMPARE(s.m_rcMargins, QMargins(715, 715, 715, 715));
    QCOMPARE(s.m_strDataDirectory, m_defaultData);
    QCOMPARE(ReadWholeFile(m_defaultData + QStringLiteral("OL.add")), QByteArray("On-Lines"));
    QCOMPARE(ReadWholeFile(m_defaultData + QStringLiteral("LS.add")), QByteArray("Last Senders"));

    // A second start reads what the first wrote, writes nothing and empties the lists again.
    WriteWholeFile(m_defaultData + QStringLiteral("LS.add"), "Last Senders\r\nAnn;10.0.0.1;6001;");
    const Settings again = Load(&nameMessages);
    QCOMPARE(ReadWholeFile(m_storePath), DefaultStore(m_defaultData));
    QCOMPARE(again.m_strFtpDirectory, QStringLiteral("E:\\FTP\\Quillpad\\"));
    QCOMPARE(again.m_strFtpPassword, QStringLiteral("TulipGate"));
    QCOMPARE(ReadWholeFile(m_defaultData + QStringLiteral("LS.add")), QByteArray("Last Senders"));
}

void TestSettings::missingValueKeepsItsEarlierContentAndIsNotWrittenBack() {
    const QByteArray stored = Without(DefaultStore(m_defaultData), "\"Port\"=");
    WriteWholeFile(m_storePath, stored);
    const Settings s = Load();
    QCOMPARE(s.m_nPort, 0u);
    QCOMPARE(s.m_nSocketTimeout, 5u);
    QCOMPARE(ReadWholeFile(m_storePath), stored);
}

void TestSettings::missingSectionGetsItsDefaultsBack() {
    QByteArray stored =
        Replaced(DefaultStore(m_defaultData), "\"Full Name\"=\"\"", "\"Full Name\"=\"Ann\"");
    stored = Replaced(stored, "\"Notify Interval\"=dword:00000005",
                      "\"Notify Interval\"=dword:00000009");
    WriteWholeFile(m_storePath, Without(stored, Section("Communication")));

    int nameMessages = 0;
    const Settings s = Load(&nameMessages);
    QCOMPARE(nameMessages, 0);
    QCOMPARE(s.m_nPort, 6001u);
    QCOMPARE(s.m_nBroadcastInterval, 15u);
    QCOMPARE(s.m_strFullName, QStringLiteral("Ann"));
    QCOMPARE(s.m_nNotifyInterval, 9u);
    const QByteArray after = ReadWholeFile(m_storePath);
    QVERIFY(after.contains(QByteArray(Section("Communication") + "\"Port\"=dword:00001771\n")));
    QVERIFY(after.contains("\"Full Name\"=\"Ann\""));
    QVERIFY(after.contains("\"Notify Interval\"=dword:00000009"));
}

void TestSettings::longTextsAreNotRead_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("read");
    QTest::newRow("199") << 199 << true;
    QTest::newRow("200") << 200 << true;  // the longest path that Preferences stores survives
    QTest::newRow("260") << 260 << true;
    QTest::newRow("261") << 261 << false;
}

void TestSettings::longTextsAreNotRead() {
    QFETCH(int, length);
    QFETCH(bool, read);
    const QByteArray name(length, 'n');
    WriteWholeFile(m_storePath, Replaced(DefaultStore(m_defaultData), "\"Full Name\"=\"\"",
                                         "\"Full Name\"=\"" + name + "\""));
    int nameMessages = 0;
    const Settings s = Load(&nameMessages);
    QCOMPARE(s.m_strFullName, read ? QString::fromLatin1(name) : QString());
    QCOMPARE(nameMessages, read ? 0 : 1);
}

void TestSettings::storedValuesAreUsedAsTheyAre() {
    QByteArray stored =
        Replaced(DefaultStore(m_defaultData), "\"Port\"=dword:00001771", "\"Port\"=dword:05f5e0ff");
    stored = Replaced(stored, "\"Save Log Interval\"=dword:0000000a",
                      "\"Save Log Interval\"=dword:00000000");
    WriteWholeFile(m_storePath, stored);
    const Settings s = Load();
    QCOMPARE(s.m_nPort, 99999999u);
    QCOMPARE(s.m_nSaveLogInterval, 0u);
}

void TestSettings::shortMarginsFillOnlyLeadingMargins() {
    WriteWholeFile(m_storePath,
                   Replaced(DefaultStore(m_defaultData),
                            "\"Margins\"=hex:cb,02,00,00,cb,02,00,00,cb,02,00,00,cb,02,00,00",
                            "\"Margins\"=hex:10,00,00,00,20,00,00,00"));
    QCOMPARE(Load().m_rcMargins, QMargins(16, 32, 0, 0));
}

void TestSettings::passwordIsStoredScrambled() {
    Load();
    Settings s;
    s.m_strFtpPassword = QStringLiteral("s3cret");
    QVERIFY(SaveSettings(s, RegistryStore(m_storePath), SettingsSection::FTP));
    const QByteArray stored = ReadWholeFile(m_storePath);
    QVERIFY(!stored.contains("s3cret"));
    QVERIFY(stored.contains("\"Password\"=hex(1):"));

    const RegistryStore store(m_storePath);
    CRegistry reg(store);
    QVERIFY(reg.Open(CRegistry::HKEY_CURRENT_USER, SectionKeyPath("FTP")));
    QByteArray raw;
    QVERIFY(reg.ReadString(QStringLiteral("Password"), raw));
    QCOMPARE(raw.size(), 6);
    QVERIFY(raw != "s3cret");
    QCOMPARE(Load().m_strFtpPassword, QStringLiteral("s3cret"));
}

void TestSettings::dataDirectoryIsNeverLeftEmpty_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray("\"Data Directory\"=\"\"") << QString();
    QTest::newRow("too long") << "\"Data Directory\"=\"/" + QByteArray(270, 'd') + "/\""
                              << QString();
    QTest::newRow("own") << QByteArray("\"Data Directory\"=\"OWN\"") << QStringLiteral("OWN");
}

void TestSettings::dataDirectoryIsNeverLeftEmpty() {
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    const QString own = m_dir.filePath(QStringLiteral("own/nested/data/"));
    const QByteArray defaultLine = "\"Data Directory\"=\"" + m_defaultData.toLocal8Bit() + "\"";
    const QByteArray ownLine = QByteArray(line).replace("OWN", own.toLocal8Bit());
    WriteWholeFile(m_storePath, line.isEmpty()
                                    ? Without(DefaultStore(m_defaultData), defaultLine)
                                    : Replaced(DefaultStore(m_defaultData), defaultLine, ownLine));
    const QString wanted = expected.isEmpty() ? m_defaultData : own;
    const Settings s = Load();
    QCOMPARE(s.m_strDataDirectory, wanted);
    QVERIFY(QFileInfo(wanted).isDir());
    QCOMPARE(ReadWholeFile(wanted + QStringLiteral("OL.add")), QByteArray("On-Lines"));
}

void TestSettings::saveSettingsWritesOnlyItsSection() {
    const QByteArray placement = "\"Main Window\"=hex:2c,00,00,00,00,00,00,00,01,00,00,00\n";
    const QByteArray stored =
        Replaced(DefaultStore(m_defaultData), "\"Always On Top\"=dword:00000001\n",
                 "\"Always On Top\"=dword:00000001\n" + placement);
    WriteWholeFile(m_storePath, stored);
    Settings s = Load();
    s.m_bAlwaysOnTop = 0;
    s.m_nPort = 7000;
    const RegistryStore store(m_storePath);
    QVERIFY(SaveSettings(s, store, SettingsSection::Windows));
    QCOMPARE(ReadWholeFile(m_storePath), Replaced(stored, "\"Always On Top\"=dword:00000001",
                                                  "\"Always On Top\"=dword:00000000"));

    const QByteArray before = ReadWholeFile(m_storePath);
    QVERIFY(!SaveSettings(s, store, static_cast<SettingsSection>(0x01000000)));
    QVERIFY(!SaveSettings(s, store, static_cast<SettingsSection>(0x01000101)));
    QCOMPARE(ReadWholeFile(m_storePath), before);

    // A section whose key is gone is not created by a save.
    WriteWholeFile(m_storePath, Without(before, Section("Sound")));
    QVERIFY(!SaveSettings(s, store, SettingsSection::Sound));
    QVERIFY(!ReadWholeFile(m_storePath).contains(Section("Sound")));
}

void TestSettings::unreadableSectionStillLoads() {
    // A store damaged by hand: the readable keys count, the damaged lines are dropped.
    QByteArray stored =
        Replaced(DefaultStore(m_defaultData), "\"Full Name\"=\"\"", "\"Full Name\"=\"Ann\"");
    stored = Replaced(stored, "\"Port\"=dword:00001771", "\"Port\"=dword:not-a-number");
    WriteWholeFile(m_storePath, stored);
    const Settings s = Load();
    QCOMPARE(s.m_strFullName, QStringLiteral("Ann"));
    QCOMPARE(s.m_nPort, 0u);
    QVERIFY(!QFile::exists(m_storePath + QStringLiteral(".bad")));  // loading alone writes nothing
    QVERIFY(SaveSettings(s, RegistryStore(m_storePath), SettingsSection::Communication));
    QCOMPARE(ReadWholeFile(m_storePath + QStringLiteral(".bad")), stored);
}

QUILLPAD_TEST_MAIN(TestSettings)
#include "TestSettings.moc"
