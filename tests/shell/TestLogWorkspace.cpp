// The log documents and their windows: the month's log at start-up, the hub view and its
// timers, opening, closing and dropping logs, and what a view shows.
#include <atomic>
#include <thread>

#include "LogWorkspaceFixture.h"
#include "app/AppFunctions.h"
#include "app/CRegistry.h"
#include "shell/CChildFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/LogSaver.h"
#include "shell/WindowPlacementStore.h"

namespace {

int PictureCount(const QTextDocument& document) {
    int pictures = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            pictures += it.fragment().charFormat().isImageFormat() ? 1 : 0;
    }
    return pictures;
}

// Pixels of the red quarter of tests/data/rtf/src/picture.png.
int RedPixels(const QImage& image) {
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60 ? 1 : 0;
        }
    }
    return red;
}

}  // namespace

class TestLogWorkspace : public QObject, public LogWorkspaceFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void startMakesTheMonthsLogWithBanner();
    void reopenedLogContinues();
    void commandLineFileIsOpenedInstead();
    void listeningFailureLeavesNoHubAndNewViewTriesAgain();
    void closingTheListeningWindowIsSaid();
    void zeroIntervalsNeverFireWithoutPause();
    void updateTimerFollowsTheSetting();
    void viewPlacementsAreNumberedByTheLiveCount();
    void appendLineFromAWorkerThread();
    void undoLeavesAppendedLinesInTheLog();
    void damagedLogOpensWithWhatCanBeRead();
    void droppedLogIsOpened();
    void newLogAfterTheMonthsWindowClosedContinuesTheFile();
    void pictureOfAReadLogIsShownAndKept();
};

void TestLogWorkspace::initTestCase() {
    InitTestCase();
}

void TestLogWorkspace::init() {
    Init();
}

void TestLogWorkspace::cleanup() {
    Cleanup();
}

void TestLogWorkspace::startMakesTheMonthsLogWithBanner() {
    QVERIFY(!QFile::exists(MonthPath()));
    Start();
    QCOMPARE(m_workspace->Documents().size(), 1);
    CQuillpadDoc* doc = m_workspace->Documents().first();
    QVERIFY(doc->IsMonthLog());
    QCOMPARE(doc->PathName(), m_app->GetSettings().m_strDataDirectory + FormatLocalTime("%B") +
                                  QStringLiteral(".qpd"));
    QVERIFY(!QFile::exists(MonthPath()));  // written at the first save

    CQuillpadView* view = m_workspace->ViewOf(*doc);
    QVERIFY(view->IsHub());
    QCOMPARE(m_workspace->HubView(), view);
    const QStringList lines = Lines(*doc);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.mid(0, 3),
             (QStringList{QString(), QString(),
                          QStringLiteral("------- Log Section Separator -------")}));
    QVERIFY(
        QRegularExpression(
            QStringLiteral(
                "^Quillpad started at \\d\\d:\\d\\d:\\d\\d [AP]M - [A-Z][a-z]+ \\d\\d, \\d\\d$"))
            .match(lines[3])
            .hasMatch());
    QCOMPARE(lines.mid(4), (QStringList{QString(), QString()}));
    QCOMPARE(CQuillpadView::BannerTime(QDateTime(QDate(1996, 3, 4), QTime(9, 5, 33))),
             QStringLiteral("09:05:33 AM - March 04, 96"));

    // Log format everywhere; the view counts as live.
    QTextCursor cursor(doc->Document());
    cursor.movePosition(QTextCursor::End);
    QCOMPARE(cursor.charFormat().fontFamilies().toStringList(),
             QStringList{QStringLiteral("Times New Roman")});
    QCOMPARE(cursor.charFormat().fontPointSize(), 10.0);
    QCOMPARE(m_app->m_nLiveViewCount, 1);

    // Hub timers with their periods: save 10 minutes, update 4 hours, announce 15 minutes.
    QCOMPARE(view->SaveTimer()->IsActive(), true);
    QCOMPARE(static_cast<ManualTimer*>(view->SaveTimer())->Period(), 10 * 60000);
    QCOMPARE(static_cast<ManualTimer*>(view->UpdateTimer())->Period(), 4 * 3600000);
    QCOMPARE(static_cast<ManualTimer*>(view->BroadcastTimer())->Period(), 15 * 60000);
    static_cast<ManualTimer*>(view->BroadcastTimer())->Advance(30 * 60000);
    QCOMPARE(m_services.m_nAnnouncements, 2);
    QCOMPARE(m_frame->Action(Cmd::FileSave)->isEnabled(), true);
    QVERIFY(m_frame->ShowsDocumentMenu());
}

void TestLogWorkspace::reopenedLogContinues() {
    Start();
    m_workspace->HubView()->AppendLine(QStringLiteral("first run"));
    QVERIFY(m_frame->close());  // closing saves the month's log
    QVERIFY(QFile::exists(MonthPath()));
    QCOMPARE(m_workspace->Documents().size(), 0);
    m_workspace.reset();

    m_frame = std::make_unique<CMainFrame>(*m_app, std::make_unique<ManualTimer>());
    Start();
    const QStringList lines = Lines(*m_workspace->Documents().first());
    QVERIFY(lines.contains(QStringLiteral("first run")));
    QCOMPARE(lines.count(QStringLiteral("------- Log Section Separator -------")), 2);
    QVERIFY(m_workspace->Documents().first()->IsMonthLog());
}

void TestLogWorkspace::commandLineFileIsOpenedInstead() {
    const QString other = CurrentTestHome().Path() + QStringLiteral("/other.qpd");
    {
        CQuillpadDoc doc;
        doc.Document()->setPlainText(QStringLiteral("an older log"));
        QVERIFY(doc.SaveTo(other, nullptr));
    }
    Start({QStringLiteral("quillpad"), other});
    QCOMPARE(m_workspace->Documents().size(), 1);
    CQuillpadDoc* doc = m_workspace->Documents().first();
    QCOMPARE(doc->PathName(), QDir::cleanPath(other));
    QVERIFY(!doc->IsMonthLog());  // the hub's document, but not the month's log
    QVERIFY(Lines(*doc).contains(QStringLiteral("an older log")));

    // Its saves go to its own file; the month's file is not written.
    QVERIFY(m_frame->close());
    QVERIFY(!QFile::exists(MonthPath()));
    CQuillpadDoc reread;
    reread.Load(other, nullptr);
    QVERIFY(reread.Document()->toPlainText().contains(QStringLiteral("Quillpad started at")));
}

void TestLogWorkspace::listeningFailureLeavesNoHubAndNewViewTriesAgain() {
    m_services.m_strListenError =
        QStringLiteral("Error: Can't create socket to listen at port 6001");
    Start();
    CQuillpadDoc* first = m_workspace->Documents().first();
    CQuillpadView* view = m_workspace->ViewOf(*first);
    QCOMPARE(Lines(*first), (QStringList{m_services.m_strListenError, QString()}));
    QVERIFY(!view->IsHub());
    QVERIFY(!m_workspace->HubView());
    QVERIFY(m_frame->IdleMessage().contains(QStringLiteral("File > New")));
    QVERIFY(!view->SaveTimer());
    QVERIFY(view->UpdateTimer());  // every view fetches address books

    m_services.m_strListenError.clear();
    CQuillpadDoc* second = m_workspace->NewDocument();
    QCOMPARE(m_services.m_nListenCalls, 2);
    QVERIFY(m_workspace->ViewOf(*second)->IsHub());
    QCOMPARE(m_frame->IdleMessage(), QStringLiteral("Ready"));
    QVERIFY(Lines(*second).contains(QStringLiteral("------- Log Section Separator -------")));
    // The month's log stays with the start-up document.
    QVERIFY(first->IsMonthLog());
    QVERIFY(!second->IsMonthLog());
    QCOMPARE(second->Title(), QStringLiteral("Quill1"));
}

void TestLogWorkspace::closingTheListeningWindowIsSaid() {
    Start();
    QCOMPARE(m_frame->IdleMessage(), QStringLiteral("Ready"));
    CQuillpadDoc* extra = m_workspace->NewDocument();  // a second window, which does not listen
    QVERIFY(m_workspace->CloseDocument(*m_workspace->Documents().first()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_workspace->HubView());
    QVERIFY(m_frame->IdleMessage().contains(QStringLiteral("File > New")));
    // A prompt shown over it goes again, and the pane still says so.
    m_frame->statusBar()->showMessage(QStringLiteral("Create a new document"));
    m_frame->statusBar()->clearMessage();
    QVERIFY(m_frame->findChild<QLabel*>(QStringLiteral("messagePane"))->isVisibleTo(m_frame.get()));

    m_workspace->NewDocument();
    QVERIFY(m_workspace->HubView());
    QCOMPARE(m_frame->IdleMessage(), QStringLiteral("Ready"));
    Q_UNUSED(extra);
}

void TestLogWorkspace::zeroIntervalsNeverFireWithoutPause() {
    Settings& settings = m_app->GetSettings();
    settings.m_nSaveLogInterval = 0;
    settings.m_nUpdateInterval = 0;
    settings.m_nBroadcastInterval = 0;
    Start();
    CQuillpadView* view = m_workspace->HubView();
    QCOMPARE(static_cast<ManualTimer*>(view->SaveTimer())->Period(), 60000);
    QCOMPARE(static_cast<ManualTimer*>(view->UpdateTimer())->Period(), 3600000);
    QCOMPARE(static_cast<ManualTimer*>(view->BroadcastTimer())->Period(), 60000);
    QCOMPARE(CQuillpadView::UpdatePeriodMs(1000), std::numeric_limits<int>::max());
}

void TestLogWorkspace::updateTimerFollowsTheSetting() {
    Start();
    auto* timer = static_cast<ManualTimer*>(m_workspace->HubView()->UpdateTimer());
    Settings& settings = m_app->GetSettings();
    timer->Advance(4 * 3600000);
    QCOMPARE(m_services.m_nUpdates, 1);
    settings.m_bUpdateAddressBook = 0;
    timer->Advance(4 * 3600000);
    QCOMPARE(m_services.m_nUpdates, 1);
    QCOMPARE(timer->Period(), CQuillpadView::kUpdateRetryMs);  // looks again every 10 minutes
    settings.m_bUpdateAddressBook = 1;
    settings.m_nUpdateInterval = 2;
    timer->Advance(10 * 60000);
    QCOMPARE(m_services.m_nUpdates, 2);
    QCOMPARE(timer->Period(), 2 * 3600000);
}

void TestLogWorkspace::viewPlacementsAreNumberedByTheLiveCount() {
    Start();
    CQuillpadDoc* first = m_workspace->Documents().first();
    m_workspace->NewDocument();
    QCOMPARE(m_app->m_nLiveViewCount, 2);
    CChildFrame* frame = m_workspace->ViewOf(*first)->Frame();
    frame->showNormal();
    frame->setGeometry(12, 34, 321, 210);
    QVERIFY(m_workspace->CloseDocument(*first));
    QCOMPARE(m_app->m_nLiveViewCount, 1);
    QVERIFY(!m_workspace->HubView());  // the hub went with its view

    QRect rect;
    WindowPlacementStore placements(m_app->Store());
    QVERIFY(placements.ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                                QStringLiteral("View 2"), rect));
    QCOMPARE(rect, QRect(12, 34, 321, 210));
    QVERIFY(!placements.ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                                 QStringLiteral("View 1"), rect));
}

void TestLogWorkspace::appendLineFromAWorkerThread() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    QTextCursor selection(view->document());
    selection.movePosition(QTextCursor::Start);
    selection.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 2);
    view->setTextCursor(selection);  // whatever is selected, appends go to the very end

    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i)
            view->AppendLine(QStringLiteral("line %1").arg(i), i % 2 == 0);
        done = true;
    });
    const bool finished = WaitFor([&] { return done.load(); }, 10000);
    worker.join();
    QVERIFY(finished);
    QVERIFY(view->document()->toPlainText().endsWith(QStringLiteral("line 18\nline 19")));
    QVERIFY(view->document()->toPlainText().contains(QStringLiteral("line 0\nline 1line 2\n")));
    QCOMPARE(view->textCursor().position(), view->document()->characterCount() - 1);
}

// Undo takes back what the user typed, never a line the program appended (a received note):
// such a line stays in the log and in its file, and the undo history does not grow with it.
void TestLogWorkspace::undoLeavesAppendedLinesInTheLog() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    QTextCursor typing(view->document());
    typing.movePosition(QTextCursor::End);
    view->setTextCursor(typing);
    QTest::keyClicks(view, QStringLiteral("typed"));
    QVERIFY(view->document()->isUndoAvailable());
    view->AppendLine(QStringLiteral("Incoming line"));
    QVERIFY(view->document()->isModified());
    for (int i = 0; i < 5; ++i)
        view->undo();
    QVERIFY(view->document()->toPlainText().contains(QStringLiteral("typedIncoming line\n")));
    QVERIFY(!view->document()->isUndoAvailable());
    // What the user types after it can be taken back again.
    QTest::keyClicks(view, QStringLiteral("more"));
    view->undo();
    QVERIFY(view->document()->toPlainText().endsWith(QStringLiteral("Incoming line\n")));
}

void TestLogWorkspace::damagedLogOpensWithWhatCanBeRead() {
    Start();
    const QString damaged = CurrentTestHome().Path() + QStringLiteral("/damaged.qpd");
    QFile::copy(QStringLiteral(QUILLPAD_TEST_DATA "/rtf/damaged/damaged-missing-close-brace.rtf"),
                damaged);
    const QByteArray original = ReadWholeFile(damaged);
    CQuillpadDoc* doc = m_workspace->OpenDocument(damaged);
    QVERIFY(doc);
    QVERIFY(!doc->Document()->toPlainText().isEmpty());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(QStringLiteral("is damaged")));
    QCOMPARE(ReadWholeFile(damaged + QStringLiteral(".bad")), original);

    m_messages.clear();
    QVERIFY(!m_workspace->OpenDocument(CurrentTestHome().Path() + QStringLiteral("/missing.qpd")));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith(QStringLiteral("Cannot open")));
}

void TestLogWorkspace::droppedLogIsOpened() {
    Start();
    const QString other = CurrentTestHome().Path() + QStringLiteral("/dropped.qpd");
    CQuillpadDoc source;
    source.Document()->setPlainText(QStringLiteral("dropped text"));
    QVERIFY(source.SaveTo(other, nullptr));
    Q_EMIT m_frame->filesDropped({other, CurrentTestHome().Path() + QStringLiteral("/notes.txt")});
    QCOMPARE(m_workspace->Documents().size(), 2);
    QVERIFY(Lines(*m_workspace->Documents().last()).contains(QStringLiteral("dropped text")));
}

void TestLogWorkspace::newLogAfterTheMonthsWindowClosedContinuesTheFile() {
    Start();
    CQuillpadDoc* month = m_workspace->Documents().first();
    m_workspace->HubView()->AppendLine(QStringLiteral("written before the window closed"));
    QVERIFY(m_workspace->CloseDocument(*month));  // saves the month's log
    QVERIFY(m_workspace->Documents().isEmpty());

    QVERIFY(m_frame->Commands().Execute(Cmd::FileNew));
    QCOMPARE(m_workspace->Documents().size(), 1);
    CQuillpadDoc* log = m_workspace->Documents().first();
    QVERIFY(log->IsMonthLog());
    QCOMPARE(log->PathName(), MonthPath());
    QVERIFY(Lines(*log).contains(QStringLiteral("written before the window closed")));
    QVERIFY(m_workspace->Saver().SaveLog(*log));
    const QStringList saved = FileLines(MonthPath());
    QVERIFY(saved.contains(QStringLiteral("written before the window closed")));
    QCOMPARE(saved.count(QStringLiteral("------- Log Section Separator -------")), 2);
}

void TestLogWorkspace::pictureOfAReadLogIsShownAndKept() {
    Start();
    const QString path = CurrentTestHome().Path() + QStringLiteral("/picture.qpd");
    WriteWholeFile(path, ReadWholeFile(QStringLiteral(QUILLPAD_TEST_DATA "/rtf/lo-e-picture.rtf")));
    CQuillpadDoc* doc = m_workspace->OpenDocument(path);
    QVERIFY(doc);
    CQuillpadView* view = m_workspace->ViewOf(*doc);
    QCOMPARE(PictureCount(*doc->Document()), 1);
    // The text around it is in the log's format.
    QTextCursor text(doc->Document());
    text.movePosition(QTextCursor::Start);
    text.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(text.charFormat().fontPointSize(), 10.0);

    m_frame->show();
    view->Frame()->showMaximized();
    QCoreApplication::processEvents();
    const int red = RedPixels(view->viewport()->grab().toImage());
    QVERIFY2(red > 200, qPrintable(QString::number(red)));

    QVERIFY(m_workspace->Saver().Save(*doc));
    QVERIFY(ReadWholeFile(path).contains("{\\pict\\pngblip"));
    CQuillpadDoc reread;
    QCOMPARE(reread.Load(path, nullptr), CQuillpadDoc::LoadResult::Read);
    QCOMPARE(PictureCount(*reread.Document()), 1);
}

QUILLPAD_TEST_GUI_MAIN(TestLogWorkspace)
#include "TestLogWorkspace.moc"
