#include <QtTest>

#include "TestSupport.h"
#include "addressbook/FtpParsing.h"

// Reply lines as servers send them, apart from the socket that brings them.
class TestFtpParsing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replyLines_data();
    void replyLines();
};

void TestFtpParsing::replyLines_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("continued");

    QTest::newRow("final") << QByteArray("220 Ready\r\n") << QByteArray("220 Ready") << 220
                           << false;
    QTest::newRow("first of several")
        << QByteArray("230-Welcome \t\r\n") << QByteArray("230-Welcome") << 230 << true;
    QTest::newRow("bare line feed")
        << QByteArray("550 No\n") << QByteArray("550 No") << 550 << false;
    QTest::newRow("code alone") << QByteArray("226\r\n") << QByteArray("226") << 226 << false;
    QTest::newRow("text of a longer reply")
        << QByteArray(" more text\r\n") << QByteArray(" more text") << 0 << false;
    QTest::newRow("letter in the code")
        << QByteArray("2x0-Hi\r\n") << QByteArray("2x0-Hi") << 0 << true;
    QTest::newRow("short") << QByteArray("22\r\n") << QByteArray("22") << 0 << false;
    QTest::newRow("blanks only") << QByteArray(" \t\r\n") << QByteArray() << 0 << false;
    QTest::newRow("zero byte kept")
        << QByteArray("500 a\0b\r\n", 9) << QByteArray("500 a\0b", 7) << 500 << false;
}

void TestFtpParsing::replyLines() {
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QFETCH(bool, continued);

    const QByteArray trimmed = FtpReply::Trimmed(received);
    QCOMPARE(trimmed, line);
    QCOMPARE(FtpReply::Code(trimmed), code);
    QCOMPARE(FtpReply::IsContinued(trimmed), continued);
}

QUILLPAD_TEST_MAIN(TestFtpParsing)
#include "TestFtpParsing.moc"
