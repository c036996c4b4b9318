#include "shell/LogWorkspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QTextDocument>

#include "app/Settings.h"
#include "platform/PeriodicTimer.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/ControlNames.h"
#include "shell/IApplication.h"
#include "shell/LogCommands.h"
#include "shell/LogFileKeeper.h"
#include "shell/LogSaver.h"
#include "shell/MessageBox.h"

struct LogWorkspace::Entry {
    std::unique_ptr<CQuillpadDoc> doc;
    CChildFrame* frame = nullptr;
    CQuillpadView* view = nullptr;
};

LogWorkspace::LogWorkspace(IApplication& app, CMainFrame& frame, LogViewServices& services,
                           TimerFactory timers, QObject* parent)
    : QObject(parent),
      m_app(app),
      m_frame(frame),
      m_services(services),
      m_timers(std::move(timers)),
      m_saver(std::make_unique<LogSaver>(*this)) {
    m_recent.Load(m_app.Store());
    m_commands = std::make_unique<LogCommands>(*this);
    UpdateRecentMenu();
    connect(&m_frame, &CMainFrame::recentFileChosen, this, &LogWorkspace::OpenRecent);
    connect(&m_frame, &CMainFrame::filesDropped, this, &LogWorkspace::OpenDropped);
}

LogWorkspace::~LogWorkspace() {
    // Views that outlive the workspace must not keep a document that goes with it.
    for (Entry* entry : m_entries + m_closing) {
        entry->view->OnDestroy();
        disconnect(entry->view, nullptr, this, nullptr);
        entry->view->setDocument(nullptr);
        delete entry;
    }
}

void LogWorkspace::ApplyPrintMargins(const QMargins& margins) {
    for (const Entry* entry : std::as_const(m_entries))
        entry->view->SetPrintMargins(margins);
}

std::unique_ptr<PeriodicTimer> LogWorkspace::MakeTimer() const {
    if (m_timers)
        return m_timers();
    return std::make_unique<QtPeriodicTimer>();
}

QString LogWorkspace::FileFilter() {
    return tr("Quillpad Files (*.qpd)") + QStringLiteral(";;") + tr("All Files (*.*)");
}

QString LogWorkspace::CleanPath(const QString& path) {
    return QDir::cleanPath(QDir().absoluteFilePath(path));
}

void LogWorkspace::ShowError(const QString& text) const {
    MessageBox::Critical(m_frame.isVisible() ? &m_frame : nullptr, text);
}

bool LogWorkspace::OpenAtStart(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')))
            return OpenDocument(argument) != nullptr;
    }
    const QString monthPath = m_app.GetLogFilePath();
    QFile month(monthPath);
    if (!LogFileKeeper::IsFromAnotherYear(monthPath) && month.open(QIODevice::ReadOnly)) {
        month.close();
        CQuillpadDoc* doc = OpenDocument(monthPath);
        if (doc)
            doc->SetMonthLog(true);
        return doc != nullptr;
    }
    // A new log that already bears the month's file name; it is written there at its first save
    // (an earlier year's file goes aside then).
    auto doc = std::make_unique<CQuillpadDoc>();
    doc->SetMonthLog(true);
    doc->SetPathName(monthPath);
    return CreateWindowFor(std::move(doc)) != nullptr;
}

CQuillpadDoc* LogWorkspace::NewDocument() {
    auto doc = std::make_unique<CQuillpadDoc>();
    doc->SetUntitledName(QStringLiteral("Quill%1").arg(++m_nUntitled));
    return CreateWindowFor(std::move(doc));
}

void LogWorkspace::ShowInLog(CQuillpadView& view, const QTextCursor& at) {
    m_frame.Restore();
    if (CChildFrame* frame = view.Frame())
        m_frame.MdiArea()->setActiveSubWindow(frame);
    view.setTextCursor(at);
    view.centerCursor();
    view.setFocus();
}

CQuillpadDoc* LogWorkspace::OpenDocument(const QString& path) {
    const QString clean = CleanPath(path);
    for (const Entry* entry : std::as_const(m_entries)) {
        if (!entry->doc->PathName().isEmpty() && CleanPath(entry->doc->PathName()) == clean) {
            m_frame.MdiArea()->setActiveSubWindow(entry->frame);
            return entry->doc.get();
        }
    }
    auto doc = std::make_unique<CQuillpadDoc>();
    QString damage;
    if (!LoadDocument(*doc, clean, &damage))
        return nullptr;
    // The month's file opened while no document holds the month's log takes that role again.
    if (clean == CleanPath(m_app.GetLogFilePath()) && !IsMonthLogOpen())
        doc->SetMonthLog(true);
    CQuillpadDoc* opened = CreateWindowFor(std::move(doc));
    AddRecent(clean);
    if (!damage.isEmpty())
        ReportDamaged(clean, damage);
    return opened;
}

void LogWorkspace::OpenDropped(const QStringList& paths) {
    for (const QString& path : paths) {
        if (path.endsWith(QStringLiteral(".qpd"), Qt::CaseInsensitive))
            OpenDocument(path);
    }
}

// False (after telling the user) when nothing could be read; damage gets the reason when only
// a part could.
bool LogWorkspace::LoadDocument(CQuillpadDoc& doc, const QString& path, QString* damage) {
    QString error;
    switch (doc.Load(path, &error)) {
        case CQuillpadDoc::LoadResult::Failed:
            ShowError(tr("Cannot open %1.\n%2").arg(QDir::toNativeSeparators(path), error));
            return false;
        case CQuillpadDoc::LoadResult::Damaged:
            *damage = error;
            return true;
        case CQuillpadDoc::LoadResult::Read:
            return true;
    }
    return true;
}

void LogWorkspace::ReportDamaged(const QString& path, const QString& reason) const {
    ShowError(tr("%1 is damaged: %2\nThe text that could be read is shown. The file as it was "
                 "is kept as %3.")
                  .arg(QDir::toNativeSeparators(path), reason,
                       QDir::toNativeSeparators(path + QStringLiteral(".bad"))));
}

LogWorkspace::Entry* LogWorkspace::EntryOf(const CQuillpadDoc& doc) const {
    for (Entry* entry : m_entries) {
        if (entry->doc.get() == &doc)
            return entry;
    }
    return nullptr;
}

bool LogWorkspace::IsMonthLogOpen() const {
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [](const Entry* e) { return e->doc->IsMonthLog(); });
}

CQuillpadDoc* LogWorkspace::CreateWindowFor(std::unique_ptr<CQuillpadDoc> doc) {
    auto* entry = new Entry;
    entry->doc = std::move(doc);
    entry->view = new CQuillpadView(*entry->doc, *this);
    entry->view->SetPrintMargins(m_app.GetSettings().m_rcMargins);
    entry->frame = MakeFrame(*entry);
    // Cut, Copy and Undo follow the view's selection and history.
    connect(entry->view, &QPlainTextEdit::copyAvailable, &m_frame, &CMainFrame::UpdateCommandUi);
    connect(entry->view, &QPlainTextEdit::undoAvailable, &m_frame, &CMainFrame::UpdateCommandUi);
    entry->frame->SetCloseHandler([this, entry] {
        if (!m_saver->CanClose(*entry->doc))
            return false;
        entry->view->OnDestroy();
        m_entries.removeOne(entry);
        m_closing.append(entry);
        return true;
    });
    // The document goes once its view no longer uses it.
    connect(entry->view, &QObject::destroyed, this, [this, entry] {
        m_entries.removeOne(entry);
        m_closing.removeOne(entry);
        delete entry;
        m_frame.UpdateCommandUi();
    });
    m_entries.append(entry);
    ShowInMdiArea(*entry->frame);
    // The first-display work runs now, also while the main window itself stays hidden.
    entry->view->OnInitialUpdate();
    m_frame.UpdateCommandUi();
    return entry->doc.get();
}

CChildFrame* LogWorkspace::MakeFrame(Entry& entry) {
    auto* frame = new CChildFrame;
    frame->setObjectName(QStringLiteral("logWindow"));
    ControlNames::NameAfterCaption(frame);
    frame->setWidget(entry.view);
    frame->setWindowTitle(entry.doc->Title());
    frame->setWindowIcon(m_frame.windowIcon());
    connect(entry.doc.get(), &CQuillpadDoc::titleChanged, frame, &QWidget::setWindowTitle);
    return frame;
}

void LogWorkspace::ShowInMdiArea(CChildFrame& frame) {
    m_frame.MdiArea()->addSubWindow(&frame);
    // A log window without a saved placement takes most of the main window.
    const QSize area = m_frame.MdiArea()->viewport()->size();
    frame.resize(qMax(480, area.width() * 3 / 4), qMax(320, area.height() * 3 / 4));
    frame.show();
}

bool LogWorkspace::CloseDocument(CQuillpadDoc& doc) {
    const Entry* entry = EntryOf(doc);
    return entry && entry->frame->close();
}

CQuillpadView* LogWorkspace::HubView() const {
    return m_hub;
}

void LogWorkspace::SetHubView(CQuillpadView* view) {
    m_hub = view;
    m_frame.SetListening(view != nullptr);
}

void LogWorkspace::AdoptMonthLog(CQuillpadDoc& doc) {
    for (const Entry* entry : std::as_const(m_entries)) {
        if (entry->doc->IsMonthLog() && entry->doc.get() != &doc)
            return;
    }
    const QString monthPath = m_app.GetLogFilePath();
    // A document of a file of its own keeps saving there.
    if (!doc.PathName().isEmpty() && CleanPath(doc.PathName()) != CleanPath(monthPath))
        return;
    // A new document (File New after the month's log was closed) goes on with the month's
    // file; its saves must never replace what the file holds.
    if (doc.PathName().isEmpty() && QFileInfo(monthPath).isFile() &&
        !LogFileKeeper::IsFromAnotherYear(monthPath)) {
        if (!doc.Document()->isEmpty() || !ContinueMonthFile(doc, monthPath))
            return;
    }
    doc.SetMonthLog(true);
    doc.SetPathName(monthPath);
}

bool LogWorkspace::ContinueMonthFile(CQuillpadDoc& doc, const QString& monthPath) {
    QString damage;
    if (!LoadDocument(doc, monthPath, &damage))
        return false;
    CQuillpadView::ApplyLogFormat(*doc.Document());
    doc.Document()->clearUndoRedoStacks();
    doc.SetModified(false);
    if (!damage.isEmpty())
        ReportDamaged(monthPath, damage);
    return true;
}

QList<CQuillpadDoc*> LogWorkspace::Documents() const {
    QList<CQuillpadDoc*> docs;
    for (const Entry* entry : m_entries)
        docs.append(entry->doc.get());
    return docs;
}

CQuillpadView* LogWorkspace::ViewOf(const CQuillpadDoc& doc) const {
    const Entry* entry = EntryOf(doc);
    return entry ? entry->view : nullptr;
}

CQuillpadView* LogWorkspace::ActiveView() const {
    if (QMdiSubWindow* current = m_frame.MdiArea()->currentSubWindow()) {
        if (auto* view = qobject_cast<CQuillpadView*>(current->widget()))
            return view;
    }
    if (m_hub)
        return m_hub;
    return m_entries.isEmpty() ? nullptr : m_entries.last()->view;
}

void LogWorkspace::AddRecent(const QString& path) {
    m_recent.Add(path);
    UpdateRecentMenu();
}

void LogWorkspace::UpdateRecentMenu() {
    m_frame.SetRecentFiles(m_recent.Paths());
}

void LogWorkspace::SaveRecentFiles() const {
    m_recent.Save(m_app.Store());
}

void LogWorkspace::OpenRecent(int index) {
    const QStringList paths = m_recent.Paths();
    if (index < 0 || index >= paths.size())
        return;
    if (!OpenDocument(paths[index])) {
        m_recent.Remove(index);
        UpdateRecentMenu();
    }
}
