#include <QtTest>

#include "TestSupport.h"
#include "shell/PreferenceRules.h"

using namespace PreferenceRules;

Q_DECLARE_METATYPE(std::optional<quint32>)

class TestPreferenceRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numbersWithinTheirRange_data();
    void numbersWithinTheirRange();
    void directoriesEndWithTheirSeparator_data();
    void directoriesEndWithTheirSeparator();
    void dataDirectoryMustBeUsable();
};

void TestPreferenceRules::numbersWithinTheirRange_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("min");
    QTest::addColumn<quint32>("max");
    QTest::addColumn<std::optional<quint32>>("expected");
    const auto none = std::optional<quint32>();
    const auto save = kSaveLogInterval;
    QTest::newRow("save 9") << "9" << save.min << save.max << none;
    QTest::newRow("save 10") << "10" << save.min << save.max << std::optional<quint32>(10);
    QTest::newRow("save 240") << "240" << save.min << save.max << std::optional<quint32>(240);
    QTest::newRow("save 241") << "241" << save.min << save.max << none;
    QTest::newRow("port 0") << "0" << kPort.min << kPort.max << none;
    QTest::newRow("port 65535") << "65535" << kPort.min << kPort.max
                                << std::optional<quint32>(65535);
    QTest::newRow("port 65536") << "65536" << kPort.min << kPort.max << none;
    QTest::newRow("notify 0") << "0" << kNotifyInterval.min << kNotifyInterval.max
                              << std::optional<quint32>(0);
    QTest::newRow("blanks around") << " 12 " << save.min << save.max << std::optional<quint32>(12);
    QTest::newRow("leading zeros") << "0015" << save.min << save.max << std::optional<quint32>(15);
    QTest::newRow("empty") << "" << kNotifyInterval.min << kNotifyInterval.max << none;
    QTest::newRow("blanks only") << "  " << kNotifyInterval.min << kNotifyInterval.max << none;
    QTest::newRow("letters") << "abc" << save.min << save.max << none;
    QTest::newRow("sign") << "+20" << save.min << save.max << none;
    QTest::newRow("minus") << "-20" << save.min << save.max << none;
    QTest::newRow("blank inside") << "1 5" << save.min << save.max << none;
    QTest::newRow("fraction") << "15.0" << save.min << save.max << none;
    QTest::newRow("other digits") << QStringLiteral("\u0661\u0665") << save.min << save.max << none;
    // Beyond 32 bits and beyond 64 bits: not wrapped round into the range.
    QTest::newRow("2^32 + 15") << "4294967311" << save.min << save.max << none;
    QTest::newRow("huge") << "99999999999999999999999" << save.min << save.max << none;
}

void TestPreferenceRules::numbersWithinTheirRange() {
    QFETCH(QString, text);
    QFETCH(quint32, min);
    QFETCH(quint32, max);
    QFETCH(std::optional<quint32>, expected);
    QCOMPARE(ParseNumber(text, NumberRange{min, max}), expected);
    // The prompt names the range the field accepts.
    const QString prompt = RangePrompt(NumberRange{min, max});
    QVERIFY(prompt.contains(QString::number(min)) && prompt.contains(QString::number(max)));
}

void TestPreferenceRules::directoriesEndWithTheirSeparator_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("server");
    QTest::newRow("empty stays empty") << ""
                                       << ""
                                       << "";
    QTest::newRow("without") << "/home/ann/notes"
                             << "/home/ann/notes/"
                             << "/home/ann/notes/";
    QTest::newRow("with") << "/home/ann/notes/"
                          << "/home/ann/notes/"
                          << "/home/ann/notes/";
    QTest::newRow("server backslashes") << "E:\\FTP\\Quillpad"
                                        << "E:\\FTP\\Quillpad/"
                                        << "E:\\FTP\\Quillpad\\";
    QTest::newRow("server ends with backslash") << "E:\\FTP\\Quillpad\\"
                                                << "E:\\FTP\\Quillpad\\/"
                                                << "E:\\FTP\\Quillpad\\";
    QTest::newRow("relative name") << "books"
                                   << "books/"
                                   << "books/";
    QTest::newRow("root") << "/"
                          << "/"
                          << "/";
}

void TestPreferenceRules::directoriesEndWithTheirSeparator() {
    QFETCH(QString, typed);
    QFETCH(QString, local);
    QFETCH(QString, server);
    QCOMPARE(WithLocalSeparator(typed), local);
    QCOMPARE(WithServerSeparator(typed), server);
    // Applying a rule twice changes nothing more.
    QCOMPARE(WithLocalSeparator(local), local);
    QCOMPARE(WithServerSeparator(server), server);
}

void TestPreferenceRules::dataDirectoryMustBeUsable() {
    QTemporaryDir dir;
    QString error;
    const QString nested = dir.path() + QStringLiteral("/a/b/c/");
    QVERIFY(PrepareDataDirectory(nested, &error));
    QVERIFY(QFileInfo(nested).isDir());
    // Given without its '/', the last level is made too.
    QVERIFY(PrepareDataDirectory(dir.path() + QStringLiteral("/d/e"), &error));
    QVERIFY(QFileInfo(dir.path() + QStringLiteral("/d/e")).isDir());

    const QString file = dir.path() + QStringLiteral("/plain");
    WriteWholeFile(file, "x");
    for (const QString& unusable :
         QStringList{QString(), QStringLiteral("  "), QStringLiteral("notes/"),
                     QString(file + QStringLiteral("/sub/")), file}) {
        error.clear();
        QVERIFY2(!PrepareDataDirectory(unusable, &error), qPrintable(unusable));
        QVERIFY(!error.isEmpty());
    }
    QVERIFY(!QFileInfo::exists(QStringLiteral("notes")));
}

QUILLPAD_TEST_MAIN(TestPreferenceRules)
#include "TestPreferenceRules.moc"
