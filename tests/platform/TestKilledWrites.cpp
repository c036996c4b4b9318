// A process that rewrites the month's log, a book, the two recent lists and the settings store
// is killed (SIGKILL) at random moments. After every kill each file must read with the
// program's own reader and be exactly what a round left in it, the one being written or the
// one before; and nothing a killed write leaves behind may be taken for a file of the program
// or pile up.
#include <QtTest>
#include <clocale>

#include "KilledWritesExpected.h"
#include "TestSupport.h"
#include "addressbook/AddressBook.h"
#include "app/AppFunctions.h"
#include "platform/RegistryStore.h"
#include "shell/RtfCodec.h"

namespace {

constexpr int kKills = 300;
constexpr int kMinKills = 60;              // what a slow machine must reach within the time
constexpr qint64 kKillingMs = 35000;       // kills stop here, whatever their count
constexpr int kLongestWaitMicros = 40000;  // a round takes some milliseconds: kills land anywhere
constexpr int kHelperRounds = 100000;      // never reached before the kill
constexpr int kStartTimeoutMs = 10000;
constexpr int kMostEmptyTempsPerTarget = 2;

QByteArray ExpectedBook(int round) {
    QByteArray bytes = "Crew\r\nAnna;10.0.0.1;6001;\r\nBob;bobs-pc;6002;";
    if (round > 0) {
        const AddressEntry entry = KilledWrites::BookRoundEntry(round);
        bytes += QStringLiteral("\r\n%1;%2;%3;")
                     .arg(entry.m_strName, entry.m_strAddress)
                     .arg(entry.m_nPort)
                     .toLatin1();
    }
    return bytes;
}

// Newest first, at most 30.
QByteArray ExpectedRecentList(const char* description, AddressEntry (*entryOf)(int), int round) {
    QByteArray bytes = description;
    for (int r = round; r >= 1 && r > round - kRecentListSize; --r) {
        const AddressEntry entry = entryOf(r);
        bytes += QStringLiteral("\r\n%1;%2;%3;")
                     .arg(entry.m_strName, entry.m_strAddress)
                     .arg(entry.m_nPort)
                     .toLatin1();
    }
    return bytes;
}

// The log gets a block of lines in each round and is written again whole, so "old or new" for
// it means: the log as it was, or the log as it was followed by the whole new block. Each line
// the log got ends its paragraph.
QString ExpectedLogText(int round) {
    QString text;
    for (int r = 1; r <= round; ++r) {
        for (const QString& line : KilledWrites::LogBlock(r))
            text += line + QLatin1Char('\n');
    }
    return text;
}

// The names a killed write may leave beside target: its temporary files.
bool IsTempOf(const QString& name, const QString& target) {
    const QString prefix = QLatin1Char('.') + target + QLatin1Char('.');
    return name.size() == prefix.size() + 6 && name.startsWith(prefix);
}

}  // namespace

class TestKilledWrites : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyFileIsOldOrNewAfterEachKill();

private:
    void StartHelper(QProcess& helper, int rounds);
    // Checks every file and the directories; gives the round the settings store holds.
    int CheckFiles();
    int CheckLog();
    int CheckBook();
    int CheckRecentList(const char* file, const char* description, AddressEntry (*entryOf)(int));
    int CheckSettings();
    // Temporary files left beside each target, by target; a name of no target fails.
    void CheckLeftovers(const QString& dir, const QStringList& targets, const QStringList& others,
                        int mostWrittenPerTarget);

    QTemporaryDir m_dir;
    QString m_strDataDirectory;
    QString m_strLogPath;
    QString m_strStorePath;
    // How many files of its round each kill came after, and the temporary files kills left:
    // each one a write cut in the middle.
    QList<int> m_killsAfterFiles = QList<int>(5, 0);
    QSet<QString> m_leftTemps;
};

void TestKilledWrites::initTestCase() {
    std::setlocale(LC_TIME, "C");
    QVERIFY(m_dir.isValid());
    m_strDataDirectory = m_dir.filePath(QStringLiteral("Data")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_strDataDirectory));
    m_strLogPath = GetLogFilePath(m_strDataDirectory);
    m_strStorePath = m_dir.filePath(QStringLiteral("config/registry.reg"));
    QVERIFY(QDir().mkpath(QFileInfo(m_strStorePath).absolutePath()));
}

void TestKilledWrites::StartHelper(QProcess& helper, int rounds) {
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QStringLiteral(FILE_REWRITER),
                 {m_strDataDirectory, m_strLogPath, m_strStorePath, QString::number(rounds)});
    QVERIFY2(helper.waitForStarted(kStartTimeoutMs), qPrintable(helper.errorString()));
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!helper.canReadLine() && !deadline.hasExpired() && helper.state() == QProcess::Running)
        helper.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    QCOMPARE(helper.readLine(), QByteArray("ready\n"));
}

void TestKilledWrites::everyFileIsOldOrNewAfterEachKill() {
    {
        QProcess first;  // one whole round: every file is there
        StartHelper(first, 1);
        QVERIFY(first.waitForFinished(kStartTimeoutMs));
        QCOMPARE(first.exitCode(), 0);
    }
    QCOMPARE(CheckFiles(), 1);
    if (QTest::currentTestFailed())
        return;

    int finished = 1;
    int kills = 0;
    QElapsedTimer killing;
    killing.start();
    for (; kills < kKills && killing.elapsed() < kKillingMs; ++kills) {
        QProcess helper;
        StartHelper(helper, kHelperRounds);
        if (QTest::currentTestFailed())
            return;
        QThread::usleep(QRandomGenerator::global()->bounded(kLongestWaitMicros));
        helper.kill();  // SIGKILL
        QVERIFY(helper.waitForFinished(kStartTimeoutMs));
        QVERIFY2(helper.exitStatus() == QProcess::CrashExit,
                 qPrintable(
                     QStringLiteral("the writer ended by itself with %1").arg(helper.exitCode())));
        const int round = CheckFiles();
        if (QTest::currentTestFailed()) {
            qWarning("after kill %d", kills + 1);
            return;
        }
        QVERIFY2(round >= finished, "a round finished before was undone");
        finished = round;
    }
    QStringList after;
    for (int count : std::as_const(m_killsAfterFiles))
        after.append(QString::number(count));
    qInfo("%d kills in %lld ms, %d rounds; kills after 0-4 files of a round: %s; writes cut: %lld",
          kills, killing.elapsed(), finished, qPrintable(after.join(QLatin1Char(' '))),
          m_leftTemps.size());
    QVERIFY2(kills >= kMinKills, qPrintable(QString::number(kills)));
    QVERIFY2(!m_leftTemps.isEmpty(), "no kill cut a write");

    // The next run that writes each file again leaves nothing beside them.
    QProcess last;
    StartHelper(last, 1);
    QVERIFY(last.waitForFinished(kStartTimeoutMs));
    QCOMPARE(last.exitCode(), 0);
    QCOMPARE(CheckFiles(), finished + 1);
    CheckLeftovers(m_strDataDirectory,
                   {QFileInfo(m_strLogPath).fileName(), QLatin1String(KilledWrites::kBookFile),
                    QLatin1String(kLastSendersFile), QLatin1String(kOnLinesFile)},
                   {QStringLiteral(".LS.add.lock"), QStringLiteral(".OL.add.lock")}, 0);
    CheckLeftovers(QFileInfo(m_strStorePath).absolutePath(), {QStringLiteral("registry.reg")},
                   {QStringLiteral("registry.reg.lock")}, 0);
}

int TestKilledWrites::CheckFiles() {
    // In the order a round writes them: the ones before the kill hold its round, the others
    // the round before.
    const QList<int> rounds{
        CheckLog(), CheckBook(),
        CheckRecentList(kLastSendersFile, kLastSendersDescription, &KilledWrites::LastSenderEntry),
        CheckRecentList(kOnLinesFile, kOnLinesDescription, &KilledWrites::OnLineEntry),
        CheckSettings()};
    if (QTest::currentTestFailed())
        return -1;
    const int settings = rounds.last();
    ++m_killsAfterFiles[std::count_if(rounds.begin(), rounds.end(),
                                      [settings](int round) { return round > settings; })];
    for (int i = 0; i < rounds.size(); ++i) {
        const bool inStep = (rounds[i] == settings || rounds[i] == settings + 1) &&
                            (i == 0 || rounds[i] <= rounds[i - 1]);
        if (!inStep) {
            QTest::qFail(qPrintable(QStringLiteral("rounds of log, book, lists, settings: %1 %2 "
                                                   "%3 %4 %5")
                                        .arg(rounds[0])
                                        .arg(rounds[1])
                                        .arg(rounds[2])
                                        .arg(rounds[3])
                                        .arg(rounds[4])),
                         __FILE__, __LINE__);
            return -1;
        }
    }

    // Lock files stay: a lock goes with the process that held it, and the next writer takes it.
    // The next write of a file clears what earlier kills left of it: at most the temporary file
    // of the write this kill cut remains.
    CheckLeftovers(m_strDataDirectory,
                   {QFileInfo(m_strLogPath).fileName(), QLatin1String(KilledWrites::kBookFile),
                    QLatin1String(kLastSendersFile), QLatin1String(kOnLinesFile)},
                   {QStringLiteral(".LS.add.lock"), QStringLiteral(".OL.add.lock")}, 1);
    CheckLeftovers(QFileInfo(m_strStorePath).absolutePath(), {QStringLiteral("registry.reg")},
                   {QStringLiteral("registry.reg.lock")}, 1);
    // The next start lists the books it always did, and no other.
    const BookListing listing = ListAddressBooks(m_strDataDirectory, false);
    const QStringList books{m_strDataDirectory + QLatin1String(KilledWrites::kBookFile),
                            m_strDataDirectory + QLatin1String(kLastSendersFile),
                            m_strDataDirectory + QLatin1String(kOnLinesFile)};
    if (listing.m_paths != books)
        QTest::qFail(qPrintable(listing.m_paths.join(QLatin1Char(' '))), __FILE__, __LINE__);
    return settings;
}

int TestKilledWrites::CheckLog() {
    RtfContent content;
    QString error;
    if (!ReadRtf(ReadWholeFile(m_strLogPath), content, &error)) {
        QTest::qFail(qPrintable(QStringLiteral("the log does not read: ") + error), __FILE__,
                     __LINE__);
        return -1;
    }
    // The file holds lines together in paragraphs: a line break ends a line as a paragraph does.
    QString text = content.m_strText;
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    const int round = KilledWrites::LastLogRound(text);
    if (text != ExpectedLogText(round)) {
        QTest::qFail(
            qPrintable(
                QStringLiteral("the log is not as round %1 left it: %2")
                    .arg(round)
                    .arg(QString::fromLatin1(text.toUtf8().toPercentEncoding(" ")).right(300))),
            __FILE__, __LINE__);
        return -1;
    }
    return round;
}

int TestKilledWrites::CheckBook() {
    const QString path = m_strDataDirectory + QLatin1String(KilledWrites::kBookFile);
    const std::optional<QList<AddressEntry>> entries = ReadBookEntries(path);
    if (!entries || entries->size() != 3) {
        QTest::qFail("the book does not read as three entries", __FILE__, __LINE__);
        return -1;
    }
    const int round =
        entries->last().m_strName.mid(qstrlen(KilledWrites::kRoundEntryPrefix)).toInt();
    if (ReadWholeFile(path) != ExpectedBook(round)) {
        QTest::qFail(qPrintable(QStringLiteral("the book is not as round %1 left it").arg(round)),
                     __FILE__, __LINE__);
        return -1;
    }
    return round;
}

int TestKilledWrites::CheckRecentList(const char* file, const char* description,
                                      AddressEntry (*entryOf)(int)) {
    const QString path = m_strDataDirectory + QLatin1String(file);
    const std::optional<QList<AddressEntry>> entries = ReadBookEntries(path);
    if (!entries || entries->isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("%1 does not read").arg(QLatin1String(file))),
                     __FILE__, __LINE__);
        return -1;
    }
    const int round = entries->first().m_strName.section(QLatin1Char(' '), 1).toInt();
    if (ReadWholeFile(path) != ExpectedRecentList(description, entryOf, round)) {
        QTest::qFail(qPrintable(QStringLiteral("%1 is not as round %2 left it")
                                    .arg(QLatin1String(file))
                                    .arg(round)),
                     __FILE__, __LINE__);
        return -1;
    }
    return round;
}

int TestKilledWrites::CheckSettings() {
    const QByteArray bytes = ReadWholeFile(m_strStorePath);
    QStringList errors;
    const RegistryDocument doc = RegistryDocument::Parse(bytes, &errors);
    const std::optional<int> round = KilledWrites::SettingsRound(doc);
    const RegKey* key = doc.FindKey(KilledWrites::kSettingsKey);
    const RegValue* text = key ? key->FindValue("Text") : nullptr;
    // Whole: every line read, nothing lost at the end, and the text of the same round.
    if (!errors.isEmpty() || !round || doc.Serialize() != bytes || !text ||
        text->data != KilledWrites::SettingsText(*round) + '\0') {
        QTest::qFail(qPrintable(QStringLiteral("the settings store is not as a round left it: ") +
                                errors.join(QLatin1Char(' '))),
                     __FILE__, __LINE__);
        return -1;
    }
    return *round;
}

void TestKilledWrites::CheckLeftovers(const QString& dir, const QStringList& targets,
                                      const QStringList& others, int mostWrittenPerTarget) {
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System |
                                                  QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& target : targets) {
        // An empty one was cut between its making and its locking, where it cannot be told from
        // a live writer's for a while: those may stay longer, but they must not pile up either.
        qsizetype written = 0;
        qsizetype empty = 0;
        for (const QString& name : names) {
            if (IsTempOf(name, target)) {
                const QString path = dir + QLatin1Char('/') + name;
                ++(QFileInfo(path).size() > 0 ? written : empty);
                m_leftTemps.insert(path);
            }
        }
        if (written > mostWrittenPerTarget || empty > kMostEmptyTempsPerTarget) {
            QTest::qFail(qPrintable(QStringLiteral("%1 temporary files of %2 left, %3 empty")
                                        .arg(written + empty)
                                        .arg(target)
                                        .arg(empty)),
                         __FILE__, __LINE__);
            return;
        }
    }
    for (const QString& name : names) {
        const bool known = targets.contains(name) || others.contains(name) ||
                           std::any_of(targets.begin(), targets.end(),
                                       [&name](const QString& t) { return IsTempOf(name, t); });
        if (!known) {
            QTest::qFail(qPrintable(QStringLiteral("unexpected file ") + name), __FILE__, __LINE__);
            return;
        }
    }
}

QTEST_GUILESS_MAIN(TestKilledWrites)
#include "TestKilledWrites.moc"
