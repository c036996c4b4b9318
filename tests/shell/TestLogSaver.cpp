// Saving the log documents: the month's log into the month's file, other logs into their own,
// the periodic save, and what a save keeps of the file it writes over and says in the log.
#include "LogWorkspaceFixture.h"
#include "app/AppFunctions.h"
#include "shell/CQuillpadView.h"
#include "shell/FileDialog.h"
#include "shell/LogRtf.h"
#include "shell/LogSaver.h"

class TestLogSaver : public QObject, public LogWorkspaceFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void periodicSaveWritesTheMonthsFile();
    void appendedLinesAreHeldInFewParagraphsAndSavedWhole();
    void onlyTheMonthsLogGoesIntoTheMonthsFile();
    void turnOfTheMonthStartsTheNextFile();
    void fileOfAnotherProgramKeepsItsOriginal();
    void pictureThatCannotBeSavedIsReported();
    void monthsFileOfAnEarlierYearIsKeptUnderItsYear();
    void failedPeriodicSaveShowsOneBoxAtATime();
};

void TestLogSaver::initTestCase() {
    InitTestCase();
}

void TestLogSaver::init() {
    Init();
}

void TestLogSaver::cleanup() {
    Cleanup();
}

void TestLogSaver::periodicSaveWritesTheMonthsFile() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    view->AppendLine(QStringLiteral("Grüße, {braces} \\ and 日本語"));
    static_cast<ManualTimer*>(view->SaveTimer())->Advance(10 * 60000);
    QVERIFY(QFile::exists(MonthPath()));
    QVERIFY(!view->GetDocument().IsModified());
    QCOMPARE(m_workspace->RecentFiles().Paths().value(0), QDir::cleanPath(MonthPath()));

    CQuillpadDoc reread;
    QCOMPARE(reread.Load(MonthPath(), nullptr), CQuillpadDoc::LoadResult::Read);
    QCOMPARE(reread.Document()->toPlainText(), view->document()->toPlainText());
}

// A day of notes must not cost the log a paragraph per line (each costs far more memory than
// a line break), and the lines come back from the file as they went in.
void TestLogSaver::appendedLinesAreHeldInFewParagraphsAndSavedWhole() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    const int blocksBefore = view->document()->blockCount();
    constexpr int kLines = 300;
    for (int i = 0; i < kLines; ++i)
        view->AppendLine(QStringLiteral("line %1").arg(i), i % 7 != 3);
    QVERIFY2(
        view->document()->blockCount() - blocksBefore <= kLines / kAppendedLinesPerParagraph + 2,
        qPrintable(QString::number(view->document()->blockCount())));
    const QString text = view->document()->toPlainText();
    QVERIFY(text.contains(QStringLiteral("line 2\nline 3line 4\nline 5\n")));
    QVERIFY(text.endsWith(QStringLiteral("line 298\nline 299\n")));
    QVERIFY(m_workspace->Saver().SaveLog(view->GetDocument()));
    // In the file each line is a paragraph of its own, as word processors and older logs have it.
    QVERIFY(ReadWholeFile(MonthPath()).contains("line 5\\par\nline 6\\par\n"));
    CQuillpadDoc reread;
    QCOMPARE(reread.Load(MonthPath(), nullptr), CQuillpadDoc::LoadResult::Read);
    QCOMPARE(reread.Document()->toPlainText(), text);
}

void TestLogSaver::onlyTheMonthsLogGoesIntoTheMonthsFile() {
    Start();
    QVERIFY(m_workspace->Saver().SaveLog(*m_workspace->Documents().first()));
    const QByteArray monthBytes = ReadWholeFile(MonthPath());

    CQuillpadDoc* extra = m_workspace->NewDocument();
    m_workspace->ViewOf(*extra)->AppendLine(QStringLiteral("scratch"));
    // Save As onto the month's file is refused for another document.
    FileDialog::QueueAnswer(MonthPath());
    QVERIFY(!m_workspace->Saver().SaveAs(*extra));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(QStringLiteral("is the log of this month")));
    // Closing the modified untitled document asks; No discards it.
    QVERIFY(m_workspace->CloseDocument(*extra));
    QCOMPARE(m_messages.last(), QStringLiteral("Save changes to Quill1?"));
    QCOMPARE(ReadWholeFile(MonthPath()), monthBytes);

    // An untitled document saved under a name of its own goes there, asked once.
    CQuillpadDoc* named = m_workspace->NewDocument();
    m_workspace->ViewOf(*named)->AppendLine(QStringLiteral("kept"));
    const QString own = CurrentTestHome().Path() + QStringLiteral("/own.qpd");
    FileDialog::QueueAnswer(own);
    QVERIFY(m_workspace->Saver().Save(*named));
    QCOMPARE(named->PathName(), QDir::cleanPath(own));
    QCOMPARE(ReadWholeFile(MonthPath()), monthBytes);

    // Opening the month's file again only brings its window forward.
    QCOMPARE(m_workspace->OpenDocument(MonthPath()), m_workspace->Documents().first());
    QCOMPARE(m_workspace->Documents().size(), 2);
}

void TestLogSaver::turnOfTheMonthStartsTheNextFile() {
    // The month's path is taken anew at every save; moving the data directory stands in for
    // the calendar turning over.
    Start();
    CQuillpadDoc* doc = m_workspace->Documents().first();
    QVERIFY(m_workspace->Saver().SaveLog(*doc));
    const QString before = MonthPath();
    const QByteArray saved = ReadWholeFile(before);
    m_app->GetSettings().m_strDataDirectory = CurrentTestHome().Path() + QStringLiteral("/next/");
    QDir().mkpath(m_app->GetSettings().m_strDataDirectory);
    m_workspace->HubView()->AppendLine(QStringLiteral("after the turn"));
    QVERIFY(m_workspace->Saver().SaveLog(*doc));
    QCOMPARE(doc->PathName(), MonthPath());
    QVERIFY(ReadWholeFile(MonthPath()).contains("after the turn"));
    QVERIFY(ReadWholeFile(MonthPath()).contains("Log Section Separator"));
    QCOMPARE(ReadWholeFile(before), saved);
    QCOMPARE(m_workspace->RecentFiles().Paths().first(), QDir::cleanPath(MonthPath()));
}

void TestLogSaver::fileOfAnotherProgramKeepsItsOriginal() {
    const QString letter = CurrentTestHome().Path() + QStringLiteral("/letter.rtf");
    const QByteArray original =
        ReadWholeFile(QStringLiteral(QUILLPAD_TEST_DATA "/rtf/lo-e-picture.rtf"));
    WriteWholeFile(letter, original);
    Start({QStringLiteral("quillpad"), letter});
    QVERIFY(m_frame->close());  // the exit saves it in place
    QCOMPARE(ReadWholeFile(letter + QStringLiteral(".orig")), original);
    QVERIFY(ReadWholeFile(letter).contains("{\\*\\generator Quillpad"));
    // One log line says where the original is, in the file as well.
    const auto origLines = [&letter] {
        return FileLines(letter).filter(QDir::toNativeSeparators(letter + QStringLiteral(".orig")));
    };
    QCOMPARE(origLines().size(), 1);

    // Saved again, the file is the program's own: nothing more is kept or said.
    Restart({QStringLiteral("quillpad"), letter});
    QVERIFY(m_frame->close());
    QCOMPARE(ReadWholeFile(letter + QStringLiteral(".orig")), original);
    QCOMPARE(origLines().size(), 1);
}

void TestLogSaver::pictureThatCannotBeSavedIsReported() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    CQuillpadDoc& doc = view->GetDocument();
    view->AppendLine(QStringLiteral("before"));
    QTextImageFormat gone;  // its image is no longer in the document
    gone.setName(QStringLiteral("picture:gone"));
    QTextCursor cursor(doc.Document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertImage(gone);
    view->AppendLine(QStringLiteral("after"));

    auto* timer = static_cast<ManualTimer*>(view->SaveTimer());
    timer->Advance(10 * 60000);
    timer->Advance(10 * 60000);
    // Said once, in the log and in the file.
    const QString said =
        QStringLiteral("Pictures left out of %1 because they can no longer be read: 1")
            .arg(QDir::toNativeSeparators(MonthPath()));
    QCOMPARE(Lines(doc).count(said), 1);
    QCOMPARE(FileLines(MonthPath()).count(said), 1);
    QVERIFY(FileLines(MonthPath()).contains(QStringLiteral("after")));
}

void TestLogSaver::monthsFileOfAnEarlierYearIsKeptUnderItsYear() {
    QDir().mkpath(m_app->GetSettings().m_strDataDirectory);
    {
        CQuillpadDoc old;
        old.Document()->setPlainText(QStringLiteral("a note of last year"));
        QVERIFY(old.SaveTo(MonthPath(), nullptr));
    }
    const QByteArray oldBytes = ReadWholeFile(MonthPath());
    const QDateTime lastYear = QDateTime::currentDateTime().addYears(-1);
    SetModificationTime(MonthPath(), lastYear);

    Start();
    CQuillpadDoc* log = m_workspace->Documents().first();
    QVERIFY(log->IsMonthLog());
    QCOMPARE(log->PathName(), MonthPath());
    QVERIFY(!Lines(*log).contains(QStringLiteral("a note of last year")));
    QVERIFY(m_workspace->Saver().SaveLog(*log));

    const QString kept = m_app->GetSettings().m_strDataDirectory + FormatLocalTime("%B") +
                         QStringLiteral(" %1.qpd").arg(lastYear.date().year());
    QCOMPARE(ReadWholeFile(kept), oldBytes);
    QVERIFY(!FileLines(MonthPath()).contains(QStringLiteral("a note of last year")));
    QCOMPARE(FileLines(MonthPath()).filter(QDir::toNativeSeparators(kept)).size(), 1);
}

void TestLogSaver::failedPeriodicSaveShowsOneBoxAtATime() {
    Start();
    auto* timer = static_cast<ManualTimer*>(m_workspace->HubView()->SaveTimer());
    QVERIFY(QDir().mkpath(MonthPath()));  // a folder in the file's place: every save fails
    int boxesUp = 0;
    int mostUp = 0;
    bool waited = false;
    m_onMessage = [&] {
        ++boxesUp;
        mostUp = qMax(mostUp, boxesUp);
        if (!std::exchange(waited, true))
            timer->Advance(3 * 10 * 60000);  // three more intervals pass while it is up
        --boxesUp;
    };
    timer->Advance(10 * 60000);
    QCOMPARE(mostUp, 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith(QStringLiteral("Cannot save")));
    // Once it is answered, the next failure is shown again.
    timer->Advance(60 * 60000);
    QVERIFY(m_messages.size() > 1);
    QCOMPARE(mostUp, 1);
    m_onMessage = nullptr;
    QVERIFY(QDir().rmdir(MonthPath()));
}

QUILLPAD_TEST_GUI_MAIN(TestLogSaver)
#include "TestLogSaver.moc"
