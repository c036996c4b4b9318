// What a save keeps of the file it writes over: another program's file as it was, and a
// month's file of an earlier year under its year. Real files in a temporary directory.
#include <QtTest>

#include "TestSupport.h"
#include "shell/LogFileKeeper.h"
#include "shell/RtfCodec.h"

namespace {

void SetModificationTime(const QString& path, const QDateTime& when) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

QByteArray WrittenByThisProgram() {
    RtfContent content;
    content.m_strText = QStringLiteral("a log");
    return WriteRtf(content, QStringLiteral("Times New Roman"), 20);
}

}  // namespace

class TestLogFileKeeper : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void anotherProgramsFileIsKeptOnce_data();
    void anotherProgramsFileIsKeptOnce();
    void monthsFileOfAnEarlierYearIsKeptUnderItsYear_data();
    void monthsFileOfAnEarlierYearIsKeptUnderItsYear();

private:
    QTemporaryDir m_dir;
};

void TestLogFileKeeper::init() {
    QVERIFY(m_dir.isValid());
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        QVERIFY(QFile::remove(m_dir.filePath(name)));
}

void TestLogFileKeeper::anotherProgramsFileIsKeptOnce_data() {
    QTest::addColumn<QByteArray>("content");  // null: no file yet
    QTest::addColumn<QByteArray>("earlier");  // a ".orig" there before; null: none
    QTest::addColumn<bool>("kept");
    const QByteArray letter =
        ReadWholeFile(QStringLiteral(QUILLPAD_TEST_DATA "/rtf/lo-e-picture.rtf"));
    QTest::newRow("another program's file") << letter << QByteArray() << true;
    QTest::newRow("a .orig there already") << letter << QByteArray("kept earlier") << false;
    QTest::newRow("this program's file") << WrittenByThisProgram() << QByteArray() << false;
    // As earlier versions wrote logs, without the mark.
    QTest::newRow("an earlier version's log")
        << QByteArray(
               "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
               "Roman;}}\n\\uc1\\pard\\plain\\f0\\fs20 an older log\\par\n}\n")
        << QByteArray() << false;
    QTest::newRow("no file yet") << QByteArray() << QByteArray() << false;
}

void TestLogFileKeeper::anotherProgramsFileIsKeptOnce() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, earlier);
    QFETCH(bool, kept);
    const QString path = m_dir.filePath(QStringLiteral("letter.rtf"));
    const QString orig = path + QStringLiteral(".orig");
    if (!content.isNull()) {
        WriteWholeFile(path, content);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    }
    if (!earlier.isNull())
        WriteWholeFile(orig, earlier);

    QString note = QStringLiteral("stale");
    QString error;
    QVERIFY2(LogFileKeeper::KeepOriginal(path, &note, &error), qPrintable(error));
    QCOMPARE(QFile::exists(orig), kept || !earlier.isNull());
    if (!earlier.isNull())
        QCOMPARE(ReadWholeFile(orig), earlier);  // never written over
    if (!kept) {
        QVERIFY(note.isEmpty());
        return;
    }
    QCOMPARE(ReadWholeFile(orig), content);
    QCOMPARE(QFile::permissions(orig), QFile::permissions(path));  // as private as the file
    QVERIFY(note.contains(QDir::toNativeSeparators(orig)));
    // Kept once: the next save over the same file keeps nothing more.
    QVERIFY(LogFileKeeper::KeepOriginal(path, &note, &error));
    QVERIFY(note.isEmpty());
}

void TestLogFileKeeper::monthsFileOfAnEarlierYearIsKeptUnderItsYear_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("yearsAgo");  // -1: no file
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("kept");  // empty: the file stays where it is
    const QString year = QString::number(QDate::currentDate().year() - 1);
    const QString march = QStringLiteral("March ") + year;
    QTest::newRow("last year's") << QStringLiteral("March.qpd") << 1 << QStringList()
                                 << march + QStringLiteral(".qpd");
    QTest::newRow("its name taken")
        << QStringLiteral("March.qpd") << 1 << QStringList{march + QStringLiteral(".qpd")}
        << march + QStringLiteral(" (2).qpd");
    QTest::newRow("two names taken")
        << QStringLiteral("March.qpd") << 1
        << QStringList{march + QStringLiteral(".qpd"), march + QStringLiteral(" (2).qpd")}
        << march + QStringLiteral(" (3).qpd");
    // Saved again within the year, the month's file stays.
    QTest::newRow("this year's") << QStringLiteral("March.qpd") << 0 << QStringList() << QString();
    QTest::newRow("not a month's file")
        << QStringLiteral("March.rtf") << 1 << QStringList() << QString();
    QTest::newRow("no file yet") << QStringLiteral("March.qpd") << -1 << QStringList() << QString();
}

void TestLogFileKeeper::monthsFileOfAnEarlierYearIsKeptUnderItsYear() {
    QFETCH(QString, name);
    QFETCH(int, yearsAgo);
    QFETCH(QStringList, taken);
    QFETCH(QString, kept);
    const QString path = m_dir.filePath(name);
    const QByteArray old("{\\rtf1 a note of last year\\par}");
    for (const QString& other : taken)
        WriteWholeFile(m_dir.filePath(other), "another log");
    if (yearsAgo >= 0) {
        WriteWholeFile(path, old);
        SetModificationTime(path, QDateTime::currentDateTime().addYears(-yearsAgo));
    }
    QCOMPARE(LogFileKeeper::IsFromAnotherYear(path), yearsAgo > 0);

    QString note = QStringLiteral("stale");
    QString error;
    QVERIFY2(LogFileKeeper::KeepEarlierYear(path, &note, &error), qPrintable(error));
    if (kept.isEmpty()) {
        QVERIFY(note.isEmpty());
        QCOMPARE(QFile::exists(path), yearsAgo >= 0);
        return;
    }
    QVERIFY(!QFile::exists(path));
    QCOMPARE(ReadWholeFile(m_dir.filePath(kept)), old);
    for (const QString& other : taken)
        QCOMPARE(ReadWholeFile(m_dir.filePath(other)), QByteArray("another log"));
    QVERIFY2(note.contains(QDir::toNativeSeparators(m_dir.filePath(kept))), qPrintable(note));
}

QUILLPAD_TEST_MAIN(TestLogFileKeeper)
#include "TestLogFileKeeper.moc"
