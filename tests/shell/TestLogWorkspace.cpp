#include <QPrinter>
#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <clocale>
#include <thread>

#include "ManualTimer.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/AppFunctions.h"
#include "app/CQuillpadApp.h"
#include "app/CRegistry.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/FileDialog.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"
#include "shell/WindowPlacementStore.h"

namespace {

// Stands in for the network parts: listening can be made to fail, and every call is counted.
class RecordingServices : public LogViewServices {
public:
    bool StartListening(CQuillpadView&, QString* error) override {
        ++m_nListenCalls;
        if (!m_strListenError.isEmpty() && error)
            *error = m_strListenError;
        return m_strListenError.isEmpty();
    }
    bool SendLogonAnnouncement(CQuillpadView&, QString*) override {
        ++m_nAnnouncements;
        return false;  // a failure is ignored
    }
    void UpdateAddressBooks(CQuillpadView&) override { ++m_nUpdates; }

    QString m_strListenError;
    int m_nListenCalls = 0;
    int m_nAnnouncements = 0;
    int m_nUpdates = 0;
};

QStringList Lines(const CQuillpadDoc& doc) {
    return doc.Document()->toPlainText().split(QLatin1Char('\n'));
}

QStringList FileLines(const QString& path) {
    CQuillpadDoc doc;
    doc.Load(path, nullptr);
    return Lines(doc);
}

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

void SetModificationTime(const QString& path, const QDateTime& when) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

}  // namespace

class TestLogWorkspace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void startMakesTheMonthsLogWithBanner();
    void periodicSaveWritesTheMonthsFile();
    void reopenedLogContinues();
    void commandLineFileIsOpenedInstead();
    void listeningFailureLeavesNoHubAndNewViewTriesAgain();
    void closingTheListeningWindowIsSaid();
    void mailThatNoProgramTakesIsSaid_data();
    void mailThatNoProgramTakesIsSaid();
    void onlyTheMonthsLogGoesIntoTheMonthsFile();
    void turnOfTheMonthStartsTheNextFile();
    void zeroIntervalsNeverFireWithoutPause();
    void updateTimerFollowsTheSetting();
    void viewPlacementsAreNumberedByTheLiveCount();
    void appendLineFromAWorkerThread();
    void damagedLogOpensWithWhatCanBeRead();
    void printsToPdf();
    void droppedLogIsOpened();
    void pastedPictureIsKept();
    void newLogAfterTheMonthsWindowClosedContinuesTheFile();
    void fileOfAnotherProgramKeepsItsOriginal();
    void filesOfThisProgramGetNoOriginal();
    void pictureOfAReadLogIsShownAndKept();
    void pictureThatCannotBeSavedIsReported();
    void monthsFileOfAnEarlierYearIsKeptUnderItsYear();
    void turnOfTheMonthKeepsAnEarlierYearsFile();
    void failedPeriodicSaveShowsOneBoxAtATime();

private:
    void Start(const QStringList& arguments = {QStringLiteral("quillpad")});
    QString MonthPath() const { return m_app->GetLogFilePath(); }

    RecordingSoundPlayer m_sounds{false};
    std::unique_ptr<CQuillpadApp> m_app;
    std::unique_ptr<CMainFrame> m_frame;
    RecordingServices m_services;
    std::unique_ptr<LogWorkspace> m_workspace;
    QList<ManualTimer*> m_timers;
    QStringList m_messages;
    std::function<void()> m_onMessage;  // runs while the box is up
};

void TestLogWorkspace::initTestCase() {
    std::setlocale(LC_TIME, "C");
    MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
        m_messages.append(text);
        if (m_onMessage)
            m_onMessage();
        return QMessageBox::No;
    });
}

void TestLogWorkspace::init() {
    QDir(CurrentTestHome().DataDirectory()).removeRecursively();
    QFile::remove(CurrentTestHome().StorePath());
    WriteWholeFile(CurrentTestHome().StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]"
                   "\n\"Full Name\"=\"Ann\"\n");
    m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, false);
    m_app->LoadSettings();
    m_frame = std::make_unique<CMainFrame>(*m_app, std::make_unique<ManualTimer>());
    m_services = RecordingServices();
    m_timers.clear();
    m_messages.clear();
    m_onMessage = nullptr;
}

void TestLogWorkspace::cleanup() {
    m_onMessage = nullptr;
    m_frame.reset();
    m_workspace.reset();
    m_app.reset();
}

void TestLogWorkspace::Start(const QStringList& arguments) {
    m_workspace = std::make_unique<LogWorkspace>(*m_app, *m_frame, m_services, [this] {
        auto timer = std::make_unique<ManualTimer>();
        m_timers.append(timer.get());
        return timer;
    });
    QVERIFY(m_workspace->OpenAtStart(arguments));
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

void TestLogWorkspace::periodicSaveWritesTheMonthsFile() {
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

void TestLogWorkspace::mailThatNoProgramTakesIsSaid_data() {
    QTest::addColumn<QByteArray>("mailer");  // what xdg-email does, as a shell script; empty: none
    QTest::addColumn<bool>("told");
    QTest::newRow("a mail program takes it") << QByteArray("exit 0") << false;
    QTest::newRow("no mail program") << QByteArray("exit 3") << true;
    QTest::newRow("the program failed") << QByteArray("exit 4") << true;
    QTest::newRow("killed") << QByteArray("kill -9 $$") << true;
    QTest::newRow("no xdg-email at all") << QByteArray() << true;
}

void TestLogWorkspace::mailThatNoProgramTakesIsSaid() {
    QFETCH(QByteArray, mailer);
    QFETCH(bool, told);
    // xdg-email found on the PATH first: a script of the test's.
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
    Start();
    m_messages.clear();
    QVERIFY(m_frame->Commands().Execute(Cmd::FileSendMail));
    const bool boxShown = WaitFor([&] { return !m_messages.isEmpty(); }, told ? 5000 : 500);
    qputenv("PATH", path);
    QCOMPARE(boxShown, told);
    if (told) {
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QStringLiteral("mail program")), qPrintable(m_messages[0]));
    }
    if (!mailer.isEmpty())
        QCOMPARE(ReadWholeFile(handed).trimmed(), "--attach " + MonthPath().toLocal8Bit());
}

void TestLogWorkspace::onlyTheMonthsLogGoesIntoTheMonthsFile() {
    Start();
    QVERIFY(m_workspace->SaveLog(*m_workspace->Documents().first()));
    const QByteArray monthBytes = ReadWholeFile(MonthPath());

    CQuillpadDoc* extra = m_workspace->NewDocument();
    m_workspace->ViewOf(*extra)->AppendLine(QStringLiteral("scratch"));
    // Save As onto the month's file is refused for another document.
    FileDialog::QueueAnswer(MonthPath());
    QVERIFY(!m_workspace->SaveAs(*extra));
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
    QVERIFY(m_workspace->Save(*named));
    QCOMPARE(named->PathName(), QDir::cleanPath(own));
    QCOMPARE(ReadWholeFile(MonthPath()), monthBytes);

    // Opening the month's file again only brings its window forward.
    QCOMPARE(m_workspace->OpenDocument(MonthPath()), m_workspace->Documents().first());
    QCOMPARE(m_workspace->Documents().size(), 2);
}

void TestLogWorkspace::turnOfTheMonthStartsTheNextFile() {
    // The month's path is taken anew at every save; moving the data directory stands in for
    // the calendar turning over.
    Start();
    CQuillpadDoc* doc = m_workspace->Documents().first();
    QVERIFY(m_workspace->SaveLog(*doc));
    const QString before = MonthPath();
    const QByteArray saved = ReadWholeFile(before);
    m_app->GetSettings().m_strDataDirectory = CurrentTestHome().Path() + QStringLiteral("/next/");
    QDir().mkpath(m_app->GetSettings().m_strDataDirectory);
    m_workspace->HubView()->AppendLine(QStringLiteral("after the turn"));
    QVERIFY(m_workspace->SaveLog(*doc));
    QCOMPARE(doc->PathName(), MonthPath());
    QVERIFY(ReadWholeFile(MonthPath()).contains("after the turn"));
    QVERIFY(ReadWholeFile(MonthPath()).contains("Log Section Separator"));
    QCOMPARE(ReadWholeFile(before), saved);
    QCOMPARE(m_workspace->RecentFiles().Paths().first(), QDir::cleanPath(MonthPath()));
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

void TestLogWorkspace::printsToPdf() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    for (int i = 0; i < 200; ++i)
        view->AppendLine(QStringLiteral("printed line %1").arg(i));
    const QString pdf = CurrentTestHome().Path() + QStringLiteral("/log.pdf");
    QPrinter& printer = m_workspace->Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    LogWorkspace::PrintLog(*view->document(), printer, QMargins(715, 715, 715, 715));
    const QByteArray bytes = ReadWholeFile(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                bytes.count("/Type /Page ") >=
            2);
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

void TestLogWorkspace::pastedPictureIsKept() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    QImage picture(24, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    QVERIFY(m_frame->Commands().Execute(Cmd::EditPaste));
    view->AppendLine(QStringLiteral("after the picture"));
    // The view draws it.
    m_frame->show();
    view->Frame()->showMaximized();
    QCoreApplication::processEvents();
    const QImage shown = view->viewport()->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            red += shown.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
    }
    QVERIFY2(red >= 24 * 16, qPrintable(QString::number(red)));
    QVERIFY(m_workspace->SaveLog(view->GetDocument()));

    CQuillpadDoc reread;
    QCOMPARE(reread.Load(MonthPath(), nullptr), CQuillpadDoc::LoadResult::Read);
    QVERIFY(reread.Document()->toPlainText().contains(QChar(QChar::ObjectReplacementCharacter)));
    int pictures = 0;
    for (QTextBlock block = reread.Document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QImage image =
                reread.Document()
                    ->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
                    .value<QImage>();
            QCOMPARE(image.size(), QSize(24, 16));
            QCOMPARE(QColor(image.pixel(3, 3)), QColor(Qt::red));
            ++pictures;
        }
    }
    QCOMPARE(pictures, 1);
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
    QVERIFY(m_workspace->SaveLog(*log));
    const QStringList saved = FileLines(MonthPath());
    QVERIFY(saved.contains(QStringLiteral("written before the window closed")));
    QCOMPARE(saved.count(QStringLiteral("------- Log Section Separator -------")), 2);
}

void TestLogWorkspace::fileOfAnotherProgramKeepsItsOriginal() {
    const QString letter = CurrentTestHome().Path() + QStringLiteral("/letter.rtf");
    const QByteArray original =
        ReadWholeFile(QStringLiteral(QUILLPAD_TEST_DATA "/rtf/lo-e-picture.rtf"));
    WriteWholeFile(letter, original);
    QVERIFY(QFile::setPermissions(letter, QFile::ReadOwner | QFile::WriteOwner));
    const QFile::Permissions privateFile = QFile::permissions(letter);
    Start({QStringLiteral("quillpad"), letter});
    QVERIFY(m_frame->close());  // the exit saves it in place
    QCOMPARE(ReadWholeFile(letter + QStringLiteral(".orig")), original);
    QCOMPARE(QFile::permissions(letter + QStringLiteral(".orig")), privateFile);
    QVERIFY(ReadWholeFile(letter).contains("{\\*\\generator Quillpad"));
    // One log line says where the original is, in the file as well.
    const auto origLines = [&letter] {
        return FileLines(letter).filter(QDir::toNativeSeparators(letter + QStringLiteral(".orig")));
    };
    QCOMPARE(origLines().size(), 1);

    // Saved again, the file is the program's own: the original stays as it was kept.
    m_workspace.reset();
    m_frame = std::make_unique<CMainFrame>(*m_app, std::make_unique<ManualTimer>());
    Start({QStringLiteral("quillpad"), letter});
    QVERIFY(m_frame->close());
    QCOMPARE(ReadWholeFile(letter + QStringLiteral(".orig")), original);
    QCOMPARE(origLines().size(), 1);

    // A ".orig" that is there already is never overwritten.
    const QString other = CurrentTestHome().Path() + QStringLiteral("/other.rtf");
    WriteWholeFile(other, original);
    WriteWholeFile(other + QStringLiteral(".orig"), "kept earlier");
    CQuillpadDoc* doc = m_workspace->OpenDocument(other);
    QVERIFY(doc);
    QVERIFY(m_workspace->Save(*doc));
    QCOMPARE(ReadWholeFile(other + QStringLiteral(".orig")), QByteArray("kept earlier"));
}

void TestLogWorkspace::filesOfThisProgramGetNoOriginal() {
    // As earlier versions wrote logs, without the mark.
    const QString older = CurrentTestHome().Path() + QStringLiteral("/older.qpd");
    WriteWholeFile(older,
                   "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
                   "Roman;}}\n\\uc1\\pard\\plain\\f0\\fs20 an older log\\par\n}\n");
    Start({QStringLiteral("quillpad"), older});
    QVERIFY(Lines(*m_workspace->Documents().first()).contains(QStringLiteral("an older log")));
    QVERIFY(m_workspace->Save(*m_workspace->Documents().first()));
    QVERIFY(!QFile::exists(older + QStringLiteral(".orig")));

    // The month's log, saved twice.
    CQuillpadDoc* log = m_workspace->NewDocument();
    m_workspace->AdoptMonthLog(*log);
    QVERIFY(m_workspace->SaveLog(*log));
    QVERIFY(m_workspace->SaveLog(*log));
    QVERIFY(!QFile::exists(MonthPath() + QStringLiteral(".orig")));
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

    QVERIFY(m_workspace->Save(*doc));
    QVERIFY(ReadWholeFile(path).contains("{\\pict\\pngblip"));
    CQuillpadDoc reread;
    QCOMPARE(reread.Load(path, nullptr), CQuillpadDoc::LoadResult::Read);
    QCOMPARE(PictureCount(*reread.Document()), 1);
}

void TestLogWorkspace::pictureThatCannotBeSavedIsReported() {
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

void TestLogWorkspace::monthsFileOfAnEarlierYearIsKeptUnderItsYear() {
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
    QVERIFY(m_workspace->SaveLog(*log));

    const QString kept = m_app->GetSettings().m_strDataDirectory + FormatLocalTime("%B") +
                         QStringLiteral(" %1.qpd").arg(lastYear.date().year());
    QCOMPARE(ReadWholeFile(kept), oldBytes);
    QVERIFY(!FileLines(MonthPath()).contains(QStringLiteral("a note of last year")));
    QCOMPARE(FileLines(MonthPath()).filter(QDir::toNativeSeparators(kept)).size(), 1);
}

void TestLogWorkspace::turnOfTheMonthKeepsAnEarlierYearsFile() {
    Start();
    CQuillpadDoc* doc = m_workspace->Documents().first();
    QVERIFY(m_workspace->SaveLog(*doc));
    // The next month's file, last written a year ago (see turnOfTheMonthStartsTheNextFile).
    const QString next = CurrentTestHome().Path() + QStringLiteral("/next/");
    m_app->GetSettings().m_strDataDirectory = next;
    WriteWholeFile(MonthPath(), "{\\rtf1 a note of last year\\par}");
    const QDateTime lastYear = QDateTime::currentDateTime().addYears(-1);
    SetModificationTime(MonthPath(), lastYear);

    m_workspace->HubView()->AppendLine(QStringLiteral("after the turn"));
    QVERIFY(m_workspace->SaveLog(*doc));
    const QString kept =
        next + FormatLocalTime("%B") + QStringLiteral(" %1.qpd").arg(lastYear.date().year());
    QCOMPARE(ReadWholeFile(kept), QByteArray("{\\rtf1 a note of last year\\par}"));
    QVERIFY(FileLines(MonthPath()).contains(QStringLiteral("after the turn")));
    // Saved again within the year, it stays where it is.
    QVERIFY(m_workspace->SaveLog(*doc));
    QCOMPARE(QDir(next).entryList(QDir::Files).size(), 2);
}

void TestLogWorkspace::failedPeriodicSaveShowsOneBoxAtATime() {
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

QUILLPAD_TEST_GUI_MAIN(TestLogWorkspace)
#include "TestLogWorkspace.moc"
