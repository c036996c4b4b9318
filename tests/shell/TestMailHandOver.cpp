// Handing a log to the desktop's mail program: a mail program that does not take it is said.
// xdg-email is a script of the test's, found first on the PATH.
#include <QProcess>
#include <QtTest>

#include "TestSupport.h"
#include "shell/MailHandOver.h"

class TestMailHandOver : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mailThatNoProgramTakesIsSaid_data();
    void mailThatNoProgramTakesIsSaid();
};

void TestMailHandOver::mailThatNoProgramTakesIsSaid_data() {
    QTest::addColumn<QByteArray>("mailer");  // what xdg-email does, as a shell script; empty: none
    QTest::addColumn<bool>("told");
    QTest::newRow("a mail program takes it") << QByteArray("exit 0") << false;
    QTest::newRow("no mail program") << QByteArray("exit 3") << true;
    QTest::newRow("the program failed") << QByteArray("exit 4") << true;
    QTest::newRow("killed") << QByteArray("kill -9 $$") << true;
    QTest::newRow("no xdg-email at all") << QByteArray() << true;
}

void TestMailHandOver::mailThatNoProgramTakesIsSaid() {
    QFETCH(QByteArray, mailer);
    QFETCH(bool, told);
    QTemporaryDir bin;
    const QString handed = bin.filePath(QStringLiteral("handed"));
    if (!mailer.isEmpty()) {
        const QString script = bin.filePath(QStringLiteral("xdg-email"));
        WriteWholeFile(script,
                       "#!/bin/sh\necho \"$@\" > '" + handed.toLocal8Bit() + "'\n" + mailer + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + (mailer.isEmpty() ? QByteArray() : ":" + path));
    const QString log = CurrentTestHome().Path() + QStringLiteral("/March.qpd");
    QStringList said;
    {
        MailHandOver mail;
        connect(&mail, &MailHandOver::failed, this,
                [&said](const QString& text) { said.append(text); });
        mail.Hand(log);
        // Whatever the mail program did is known once it has ended.
        const QPointer<QProcess> process = mail.findChild<QProcess*>();
        QVERIFY(
            WaitFor([&] { return !process || process->state() == QProcess::NotRunning; }, 5000));
    }
    qputenv("PATH", path);
    QCOMPARE(said.isEmpty(), !told);
    if (told) {
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QStringLiteral("mail program")), qPrintable(said[0]));
    }
    if (!mailer.isEmpty())
        QCOMPARE(ReadWholeFile(handed).trimmed(), "--attach " + log.toLocal8Bit());
}

QUILLPAD_TEST_MAIN(TestMailHandOver)
#include "TestMailHandOver.moc"
