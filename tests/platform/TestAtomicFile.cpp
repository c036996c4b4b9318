// What a write does with the temporary files that killed writes left beside its target: those
// no writer holds any more go, a live writer's stays, and nothing else is touched.
#include <sys/file.h>
#include <unistd.h>

#include <QtTest>

#include "TestSupport.h"
#include "platform/AtomicFile.h"

class TestAtomicFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void leftoverBesideTheTarget_data();
    void leftoverBesideTheTarget();
    void tempOfALiveWriterIsLeftAlone();
    void writeLeavesNoTempOfItsOwn();

private:
    QString Path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestAtomicFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestAtomicFile::leftoverBesideTheTarget_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("removed");

    QTest::newRow("half a write") << ".log.qpd.a1B2c3" << QByteArray("{\\rtf1 half") << 0 << true;
    QTest::newRow("empty, long ago") << ".log.qpd.a1B2c3" << QByteArray() << 120 << true;
    // A writer makes its file before it can hold it: a new empty one may be a live writer's.
    QTest::newRow("empty, just made") << ".log.qpd.a1B2c3" << QByteArray() << 0 << false;
    QTest::newRow("another target's") << ".log.qpd.orig.a1B2c3" << QByteArray("x") << 0 << false;
    QTest::newRow("not hidden") << "log.qpd.a1B2c3" << QByteArray("x") << 0 << false;
    QTest::newRow("longer name") << ".log.qpd.a1B2c3d" << QByteArray("x") << 0 << false;
    QTest::newRow("shorter name") << ".log.qpd.a1B2c" << QByteArray("x") << 0 << false;
}

void TestAtomicFile::leftoverBesideTheTarget() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, ageSeconds);
    QFETCH(bool, removed);
    WriteWholeFile(Path(name), content);
    if (ageSeconds > 0) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
    }

    QVERIFY(AtomicFile::Write(Path(QStringLiteral("log.qpd")), "new"));
    QCOMPARE(ReadWholeFile(Path(QStringLiteral("log.qpd"))), QByteArray("new"));
    QCOMPARE(QFileInfo::exists(Path(name)), !removed);
}

void TestAtomicFile::tempOfALiveWriterIsLeftAlone() {
    const QString temp = Path(QStringLiteral(".registry.reg.Zz9Yy8"));
    WriteWholeFile(temp, "being written");
    // Held as a writer holds its file until it is renamed.
    const int fd = ::open(QFile::encodeName(temp).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    QVERIFY(AtomicFile::Write(Path(QStringLiteral("registry.reg")), "new"));
    QVERIFY(QFileInfo::exists(temp));
    ::close(fd);

    QVERIFY(AtomicFile::Write(Path(QStringLiteral("registry.reg")), "newer"));
    QVERIFY(!QFileInfo::exists(temp));
}

void TestAtomicFile::writeLeavesNoTempOfItsOwn() {
    QVERIFY(AtomicFile::Write(Path(QStringLiteral("LS.add")), "Last Senders"));
    QVERIFY(AtomicFile::Write(Path(QStringLiteral("LS.add")), "Last Senders\r\nA;b;1;"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("LS.add")});
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "TestAtomicFile.moc"
