#include <sched.h>
#include <unistd.h>

#include <QtTest>
#include <clocale>

#include "TestSupport.h"
#include "addressbook/LogonRecord.h"
#include "app/AppFunctions.h"

class TestAppFunctions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void logFileIsNamedAfterTheMonth();
    void timeStampHasTwelveHourClockAndDate();
    void directoryChainCreatesEveryLevel();
    void computerNameIsTheWholeHostName();
};

void TestAppFunctions::initTestCase() {
    std::setlocale(LC_TIME, "C");
}

void TestAppFunctions::logFileIsNamedAfterTheMonth() {
    const QDateTime march(QDate(2026, 3, 4), QTime(21, 5, 33));
    QCOMPARE(GetLogFilePath(QStringLiteral("/data/"), march), QStringLiteral("/data/March.qpd"));
    // Plain concatenation: a directory without its trailing '/' is not mended.
    QCOMPARE(GetLogFilePath(QStringLiteral("/data"), march), QStringLiteral("/dataMarch.qpd"));
    const QDateTime lastSecond(QDate(2026, 1, 31), QTime(23, 59, 59));
    QCOMPARE(GetLogFilePath(QStringLiteral("/d/"), lastSecond), QStringLiteral("/d/January.qpd"));
    QCOMPARE(GetLogFilePath(QStringLiteral("/d/"), lastSecond.addSecs(1)),
             QStringLiteral("/d/February.qpd"));
}

void TestAppFunctions::timeStampHasTwelveHourClockAndDate() {
    QCOMPARE(GetTimeStamp(QDateTime(QDate(2026, 3, 4), QTime(21, 5, 33))),
             QStringLiteral("09:05 PM - 03/04/26"));
    QCOMPARE(GetTimeStamp(QDateTime(QDate(2026, 3, 4), QTime(0, 30))),
             QStringLiteral("12:30 AM - 03/04/26"));
    QCOMPARE(
        FormatLocalTime("%I:%M:%S %p - %B %d, %y", QDateTime(QDate(1996, 3, 4), QTime(9, 5, 33))),
        QStringLiteral("09:05:33 AM - March 04, 96"));
}

void TestAppFunctions::directoryChainCreatesEveryLevel() {
    QTemporaryDir dir;
    const QString base = dir.path();
    QVERIFY(CreateDirectoryChain(base + QStringLiteral("/a/b/c/")));
    QVERIFY(QFileInfo(base + QStringLiteral("/a/b/c")).isDir());
    // Only the levels before the last '/' are directories; the last part names a file.
    QVERIFY(CreateDirectoryChain(base + QStringLiteral("/x/y/file")));
    QVERIFY(QFileInfo(base + QStringLiteral("/x/y")).isDir());
    QVERIFY(!QFileInfo::exists(base + QStringLiteral("/x/y/file")));
    // Failures are not reported: a level that is a file stops nothing and reports success.
    WriteWholeFile(base + QStringLiteral("/plain"), "x");
    QVERIFY(CreateDirectoryChain(base + QStringLiteral("/plain/sub/")));
    QVERIFY(CreateDirectoryChain(QString()));
}

void TestAppFunctions::computerNameIsTheWholeHostName() {
    // Linux host names are often longer than 15 bytes; a cut name reaches no one. The host
    // name is set in a namespace of this process's own, where that is allowed.
    if (::unshare(CLONE_NEWUTS) != 0)
        QSKIP("no namespace of its own for the host name here");
    const QByteArray name = "quillpad-test-host";  // 18 bytes: as long as the record holds
    QVERIFY(::sethostname(name.constData(), static_cast<size_t>(name.size())) == 0);
    QCOMPARE(ComputerName(), QString::fromLatin1(name));
    const QByteArray record = LogonRecord{QStringLiteral("A"), ComputerName(), 1}.ToBytes();
    QCOMPARE(record.mid(LogonRecord::kComputerOffset, LogonRecord::kComputerField), name + '\0');
}

QUILLPAD_TEST_MAIN(TestAppFunctions)
#include "TestAppFunctions.moc"
