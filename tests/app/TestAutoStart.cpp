// One start at the next logon: the run-once value of the store and the desktop's autostart
// entry, written and removed on real files of a private HOME.
#include <QtTest>

#include "TestSupport.h"
#include "app/AutoStart.h"
#include "app/CRegistry.h"
#include "platform/RegistryStore.h"
#include "platform/XdgAutostart.h"

namespace {

QString RunOnceValue(const RegistryStore& store) {
    CRegistry reg(store);
    QByteArray value("<none>");
    if (reg.Open(CRegistry::HKEY_CURRENT_USER,
                 QString::fromLatin1(AutoStart::kRunOnceParent) + QStringLiteral("\\RunOnce")))
        reg.ReadString(QStringLiteral("Quillpad"), value);
    return QString::fromLocal8Bit(value);
}

// The Exec line's program as a desktop would take it apart: the first argument, unquoted.
QString ExecProgram(const QByteArray& entry) {
    for (const QByteArray& line : entry.split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        const QString exec =
            QString::fromUtf8(line.mid(5)).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        if (!exec.startsWith(QLatin1Char('"')))
            return exec.section(QLatin1Char(' '), 0, 0)
                .replace(QStringLiteral("%%"), QStringLiteral("%"));
        QString program;
        for (qsizetype i = 1; i < exec.size() && exec[i] != QLatin1Char('"'); ++i) {
            if (exec[i] == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
        return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return QString();
}

}  // namespace

class TestAutoStart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void registerEntersTheProgramForOneStart();
    void execLinesStartTheRightProgram_data();
    void execLinesStartTheRightProgram();
    void anEntryOfTheUsersIsLeftAlone();
    void unregisterForgetsBoth();

private:
    RegistryStore m_store{CurrentTestHome().StorePath()};
};

void TestAutoStart::init() {
    QFile::remove(XdgAutostart::EntryPath());
    QFile::remove(CurrentTestHome().StorePath());
}

void TestAutoStart::registerEntersTheProgramForOneStart() {
    AutoStart autoStart(QStringLiteral("Quillpad"), m_store);
    QVERIFY2(autoStart.Register(), qPrintable(autoStart.ErrorText()));
    const QString executable = QCoreApplication::applicationFilePath();
    QCOMPARE(RunOnceValue(m_store), executable);
    const QString path = XdgAutostart::EntryPath();
    QVERIFY(path.startsWith(CurrentTestHome().ConfigHome() + QStringLiteral("/autostart/")));
    const QByteArray entry = ReadWholeFile(path);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nName=Quillpad\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains(" --autostart\n"));
    QCOMPARE(ExecProgram(entry), executable);
    QVERIFY(XdgAutostart::IsOwnEntry(path));
    // Entered twice, it is still one entry.
    QVERIFY(autoStart.Register());
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 1);
}

void TestAutoStart::execLinesStartTheRightProgram_data() {
    QTest::addColumn<QString>("executable");
    QTest::newRow("plain") << "/usr/bin/quillpad";
    QTest::newRow("blank") << "/home/ann/my programs/quillpad";
    QTest::newRow("quote and dollar") << "/opt/q\"uill$pad/bin/quillpad";
    QTest::newRow("backslash") << "/opt/back\\slash/quillpad";
    QTest::newRow("percent") << "/opt/100%/quillpad";
    QTest::newRow("not ascii") << "/home/zoë/quillpad";
}

void TestAutoStart::execLinesStartTheRightProgram() {
    QFETCH(QString, executable);
    QString error;
    QVERIFY(XdgAutostart::WriteRunOnce(QStringLiteral("Quillpad"), executable, &error));
    const QByteArray entry = ReadWholeFile(XdgAutostart::EntryPath());
    QCOMPARE(ExecProgram(entry), executable);
    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        return;
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {XdgAutostart::EntryPath()});
    QVERIFY(validate.waitForFinished(10000));
    QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
}

void TestAutoStart::anEntryOfTheUsersIsLeftAlone() {
    const QString path = XdgAutostart::EntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray users = "[Desktop Entry]\nType=Application\nName=Mine\nExec=/usr/bin/true\n";
    WriteWholeFile(path, users);
    const QString own = QFileInfo(path).absolutePath() + QStringLiteral("/quillpad.desktop");
    WriteWholeFile(own, "[Desktop Entry]\nType=Application\nName=Quillpad\nExec=quillpad\n");

    AutoStart autoStart(QStringLiteral("Quillpad"), m_store);
    QVERIFY(!autoStart.Register());
    QVERIFY(autoStart.ErrorText().contains(path));
    QCOMPARE(ReadWholeFile(path), users);
    QVERIFY(!XdgAutostart::RemoveRunOnce());
    AutoStart::Unregister(QStringLiteral("Quillpad"), m_store);
    QCOMPARE(ReadWholeFile(path), users);
    QVERIFY(QFile::exists(own));
    QFile::remove(own);
}

void TestAutoStart::unregisterForgetsBoth() {
    QVERIFY(AutoStart(QStringLiteral("Quillpad"), m_store).Register());
    AutoStart::Unregister(QStringLiteral("Quillpad"), m_store);
    QVERIFY(!QFile::exists(XdgAutostart::EntryPath()));
    QCOMPARE(RunOnceValue(m_store), QStringLiteral("<none>"));
    // Nothing to forget is no failure.
    AutoStart::Unregister(QStringLiteral("Quillpad"), m_store);
}

QUILLPAD_TEST_MAIN(TestAutoStart)
#include "TestAutoStart.moc"
