// Rewrites the month's log, a book, the two recent lists and the settings store in rounds,
// through the program's own writers, until it is killed: the other half of the test that kills
// it at random moments and then finds every file whole. What each file holds after round k is
// given by k alone (KilledWritesExpected.h), so the test can tell exactly which round it is.
//
// file_rewriter DATA_DIR LOG_PATH STORE_PATH ROUNDS
// Prints "ready" once it has taken up the files as they are, then writes at most ROUNDS rounds
// (and for at most a few seconds). Exits 0 when done, 3 when a file is not as a round left it.
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>

#include "KilledWritesExpected.h"
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookEditor.h"
#include "platform/AtomicFile.h"
#include "platform/RegistryStore.h"
#include "shell/CQuillpadDoc.h"
#include "shell/LogFileKeeper.h"

namespace {

constexpr qint64 kMaxRunMs = 20000;

struct Files {
    QString m_strDataDirectory;
    QString m_strLogPath;
    QString m_strBookPath;
    RegistryStore m_store;
};

// As the log view appends a line: at the very end, then a line end.
void AppendLine(QTextDocument& document, const QString& text) {
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    cursor.insertText(QStringLiteral("\r\n"));
}

// As the log is saved into the month's file.
bool SaveLog(CQuillpadDoc& doc, const QString& path) {
    QString note;
    QString error;
    if (!LogFileKeeper::KeepOriginal(path, &note, &error))
        return false;
    return AtomicFile::Write(path, doc.ToRtf(), &error);
}

bool WriteLogRound(CQuillpadDoc& doc, const QString& path, int round) {
    const int last = KilledWrites::LastLogRound(doc.Document()->toPlainText());
    if (last == round - 1) {
        for (const QString& line : KilledWrites::LogBlock(round))
            AppendLine(*doc.Document(), line);
    } else if (last != round) {
        return false;  // the killed round had left the block written whole, or nothing of it
    }
    return SaveLog(doc, path);
}

bool WriteBookRound(const Files& files, int round) {
    AddressBookEditor editor(files.m_strDataDirectory);
    const int book = static_cast<int>(editor.Books().m_paths.indexOf(files.m_strBookPath));
    editor.SelectBook(book);
    const QList<AddressEntry>& entries = editor.Entries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].m_strName.startsWith(QLatin1String(KilledWrites::kRoundEntryPrefix)))
            editor.SelectEntry(i);
    }
    const AddressEntry entry = KilledWrites::BookRoundEntry(round);
    const AddressBookEditor::Result written =
        editor.CurrentEntry() >= 0 ? editor.Update(entry) : editor.Add(entry);
    return written == AddressBookEditor::Result::Written;
}

bool WriteSettingsRound(const Files& files, int round) {
    return files.m_store.Update([round](RegistryDocument& doc) {
        KilledWrites::SetSettingsRound(doc, round);
        return RegistryStatus::kSuccess;
    }) == RegistryStatus::kSuccess;
}

// Pushing an entry again is no rewrite of the same list (the old one of that name still counts
// towards the 30), so a round the kill cut after this list's push leaves it as it is.
bool PushRound(const Files& files, const char* file, const char* description,
               const AddressEntry& entry) {
    const std::optional<QList<AddressEntry>> list =
        ReadBookEntries(files.m_strDataDirectory + QLatin1String(file));
    if (list && !list->isEmpty() && list->first().m_strName == entry.m_strName)
        return true;
    return PushRecentEntry(files.m_strDataDirectory, QLatin1String(file),
                           QLatin1String(description), entry);
}

// The files in the order a round writes them.
bool WriteRound(const Files& files, CQuillpadDoc& log, int round) {
    return WriteLogRound(log, files.m_strLogPath, round) && WriteBookRound(files, round) &&
           PushRound(files, kLastSendersFile, kLastSendersDescription,
                     KilledWrites::LastSenderEntry(round)) &&
           PushRound(files, kOnLinesFile, kOnLinesDescription, KilledWrites::OnLineEntry(round)) &&
           WriteSettingsRound(files, round);
}

// The round the settings store, written last, says was finished.
int FinishedRound(const RegistryStore& store) {
    RegistryDocument doc;
    if (store.Read(doc) != RegistryStatus::kSuccess)
        return -1;
    return KilledWrites::SettingsRound(doc).value_or(0);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5)
        return 2;
    const Files files{args[1], args[2], args[1] + QLatin1String(KilledWrites::kBookFile),
                      RegistryStore(args[3])};
    const int rounds = args[4].toInt();

    if (!QFile::exists(files.m_strBookPath))
        WriteAddressBook(files.m_strBookPath, QLatin1String(KilledWrites::kBookDescription),
                         KilledWrites::FixedBookEntries());
    CQuillpadDoc log;
    QString error;
    if (QFile::exists(files.m_strLogPath) &&
        log.Load(files.m_strLogPath, &error) != CQuillpadDoc::LoadResult::Read) {
        std::fprintf(stderr, "file_rewriter: the log does not read: %s\n", qPrintable(error));
        return 3;
    }
    int round = FinishedRound(files.m_store);
    if (round < 0) {
        std::fputs("file_rewriter: the settings store does not read\n", stderr);
        return 3;
    }

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    QElapsedTimer running;
    running.start();
    for (int done = 0; done < rounds && running.elapsed() < kMaxRunMs; ++done) {
        if (!WriteRound(files, log, ++round)) {
            std::fprintf(stderr, "file_rewriter: round %d could not be written\n", round);
            return 3;
        }
    }
    return 0;
}
