#include <QtTest>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/CRegistry.h"
#include "platform/RegistryStore.h"

class TestRegistryStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readerNeverSeesHalfAFile();
    void twoWriterProcessesLoseNothing();
    void damagedFileIsKeptAsideAndItsReadableKeysSurvive();
    void unknownKeysAndValuesAreKept();
    void storeIsReadableByItsOwnerOnly();
    void everyChangeIsReadWhoeverMadeIt();

private:
    QString m_path;
    QTemporaryDir m_dir;
};

void TestRegistryStore::storeIsReadableByItsOwnerOnly() {
    // A store made by hand (or by an older version) with the usual 0644 is tightened at the
    // next write: it holds the scrambled FTP password. A damaged one's copy is too.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    WriteWholeFile(m_path,
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Old]\n\"A\"=dword:00000001\nnot a line\n");
    QFile::setPermissions(
        m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    const RegistryStore store(m_path);
    QCOMPARE(store.Update([](RegistryDocument& doc) {
        doc.EnsureKey("HKEY_CURRENT_USER\\New").SetValue("B", 4, QByteArray(4, '\0'));
        return RegistryStatus::kSuccess;
    }),
             RegistryStatus::kSuccess);
    for (const QString& path : QStringList{m_path, m_path + QStringLiteral(".bad")}) {
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        // User, group and others as stat() gives them: read and write for the owner only.
        QCOMPARE(QFileInfo(path).permissions() & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
    }
}

void TestRegistryStore::init() {
    m_path = m_dir.filePath(
        QStringLiteral("%1/registry.reg").arg(QString::fromLatin1(QTest::currentTestFunction())));
}

void TestRegistryStore::readerNeverSeesHalfAFile() {
    const RegistryStore store(m_path);
    const QByteArray key = "HKEY_CURRENT_USER\\Big";
    store.Update([&](RegistryDocument& doc) {
        doc.EnsureKey(key).SetValue("Blob", 3, QByteArray(100000, 'a'));
        return RegistryStatus::kSuccess;
    });

    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 40; ++i) {
            store.Update([&](RegistryDocument& doc) {
                doc.EnsureKey(key).SetValue(
                    "Blob", 3, QByteArray(100000 + i, static_cast<char>('b' + i % 20)));
                return RegistryStatus::kSuccess;
            });
        }
        done = true;
    });
    int reads = 0;
    const QDeadlineTimer deadline(60000);
    while ((!done || reads == 0) && !deadline.hasExpired() && reads < 100000) {
        QStringList errors;
        const RegistryDocument doc = RegistryDocument::Parse(ReadWholeFile(m_path), &errors);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        const RegKey* big = doc.FindKey(key);
        QVERIFY(big);
        QVERIFY(big->FindValue("Blob")->data.size() >= 100000);
        ++reads;
    }
    writer.join();
    QVERIFY(done);
}

void TestRegistryStore::twoWriterProcessesLoseNothing() {
    constexpr int kCount = 60;
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(REGISTRY_WRITER),
                {m_path, QStringLiteral("a"), QString::number(kCount)});
    second.start(QStringLiteral(REGISTRY_WRITER),
                 {m_path, QStringLiteral("b"), QString::number(kCount)});
    QVERIFY(first.waitForFinished(60000));
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(reg.Open(CRegistry::HKEY_CURRENT_USER, QStringLiteral("Software\\Race")));
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kCount; ++i) {
            quint32 number = 0xffffffff;
            QVERIFY2(reg.ReadNumber(QLatin1String(prefix) + QString::number(i), number),
                     qPrintable(QLatin1String(prefix) + QString::number(i)));
            QCOMPARE(number, static_cast<quint32>(i));
        }
    }
}

void TestRegistryStore::damagedFileIsKeptAsideAndItsReadableKeysSurvive() {
    const QByteArray damaged =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Keep]\n\"Kept\"=dword:00000007\n"
        "this line is not in any syntax\n";
    WriteWholeFile(m_path, damaged);

    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(reg.Open(CRegistry::HKEY_CURRENT_USER, QStringLiteral("Software\\Keep")));
    QVERIFY(reg.WriteNumber(QStringLiteral("New"), 8));

    QCOMPARE(ReadWholeFile(m_path + QStringLiteral(".bad")), damaged);
    quint32 kept = 0;
    quint32 added = 0;
    QVERIFY(reg.ReadNumber(QStringLiteral("Kept"), kept));
    QVERIFY(reg.ReadNumber(QStringLiteral("New"), added));
    QCOMPARE(kept, 7u);
    QCOMPARE(added, 8u);
    QVERIFY(!ReadWholeFile(m_path).contains("not in any syntax"));
}

void TestRegistryStore::unknownKeysAndValuesAreKept() {
    const QByteArray other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"Multi\"=hex(7):61,00,00\n\n";
    const QByteArray elsewhere = "[HKEY_LOCAL_MACHINE\\Elsewhere]\n@=\"x\"\n\n";
    const QByteArray foreign = "REGEDIT4\n\n" + other + elsewhere;
    WriteWholeFile(m_path, foreign);
    const RegistryStore store(m_path);
    CRegistry reg(store);
    QVERIFY(reg.OpenAndCreate(CRegistry::HKEY_CURRENT_USER, QString(),
                              QStringLiteral("Software\\Mine")));
    QVERIFY(reg.WriteString(QStringLiteral("Name"), "me"));
    const QByteArray after = ReadWholeFile(m_path);
    QVERIFY(after.contains(other));
    QVERIFY(after.contains(elsewhere));
    QVERIFY(after.contains("[HKEY_CURRENT_USER\\Software\\Mine]\n\"Name\"=\"me\"\n"));
    QVERIFY(!QFile::exists(m_path + QStringLiteral(".bad")));
}

// What has been read is remembered, but never past a change: one made through another store
// of the same file, or by another program writing the file, is what the next read gives.
void TestRegistryStore::everyChangeIsReadWhoeverMadeIt() {
    const QByteArray key = "HKEY_CURRENT_USER\\Software\\Mine";
    auto valueOf = [&](const RegistryStore& store) {
        RegistryDocument doc;
        if (store.Read(doc) != RegistryStatus::kSuccess)
            return QByteArray("(unreadable)");
        const RegKey* found = doc.FindKey(key);
        const RegValue* value = found ? found->FindValue("Name") : nullptr;
        return value ? value->data.chopped(1) : QByteArray("(none)");
    };
    const RegistryStore reader(m_path);
    const RegistryStore writer(m_path);
    QCOMPARE(valueOf(reader), QByteArray("(none)"));
    for (const QByteArray name : {QByteArray("first"), QByteArray("second")}) {
        QCOMPARE(writer.Update([&](RegistryDocument& doc) {
            doc.EnsureKey(key).SetValue("Name", RegistryDocument::kTypeString, name + '\0');
            return RegistryStatus::kSuccess;
        }),
                 RegistryStatus::kSuccess);
        QCOMPARE(valueOf(reader), name);
    }
    // The same length as before, written by someone else.
    QByteArray text = ReadWholeFile(m_path);
    text.replace("second", "thirds");
    WriteWholeFile(m_path, text);
    QCOMPARE(valueOf(reader), QByteArray("thirds"));
    QFile::remove(m_path);
    QCOMPARE(valueOf(reader), QByteArray("(none)"));
}

QUILLPAD_TEST_MAIN(TestRegistryStore)
#include "TestRegistryStore.moc"
