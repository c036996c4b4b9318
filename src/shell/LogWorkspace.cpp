#include "shell/LogWorkspace.h"

#include <sys/stat.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QMdiArea>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextFrame>

#include "app/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/PeriodicTimer.h"
#include "shell/CChildFrame.h"
#include "shell/CFindReplaceDialog.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/Commands.h"
#include "shell/ControlNames.h"
#include "shell/FileDialog.h"
#include "shell/IApplication.h"
#include "shell/LogViewServices.h"
#include "shell/MessageBox.h"
#include "shell/PageMargins.h"
#include "shell/RtfCodec.h"

struct LogWorkspace::Entry {
    std::unique_ptr<CQuillpadDoc> doc;
    CChildFrame* frame = nullptr;
    CQuillpadView* view = nullptr;
    QString lossNoted;  // the last note of pictures left out, said once
};

namespace {

QString CleanPath(const QString& path) {
    return QDir::cleanPath(QDir().absoluteFilePath(path));
}

// File names of logs carry no year: a month's file last written in another year holds the log
// of that month of that year.
bool IsFromAnotherYear(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().date().year() != QDate::currentDate().year();
}

}  // namespace

void LogWorkspace::PrintLog(const QTextDocument& document, QPrinter& printer,
                            const QMargins& twips) {
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(twips.left() / 20.0, twips.top() / 20.0, twips.right() / 20.0,
                                     twips.bottom() / 20.0),
                           QPageLayout::Point);
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&printer);
    QTextFrameFormat root = copy->rootFrame()->frameFormat();
    root.setMargin(0);
    copy->rootFrame()->setFrameFormat(root);
    copy->setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    copy->print(&printer);
}

LogWorkspace::LogWorkspace(IApplication& app, CMainFrame& frame, LogViewServices& services,
                           TimerFactory timers, QObject* parent)
    : QObject(parent),
      m_app(app),
      m_frame(frame),
      m_services(services),
      m_timers(std::move(timers)) {
    m_recent.Load(m_app.Store());
    WireCommands();
    UpdateRecentMenu();
    connect(&m_frame, &CMainFrame::recentFileChosen, this, &LogWorkspace::OpenRecent);
    connect(&m_frame, &CMainFrame::filesDropped, this, [this](const QStringList& paths) {
        for (const QString& path : paths) {
            if (path.endsWith(QStringLiteral(".qpd"), Qt::CaseInsensitive))
                OpenDocument(path);
        }
    });
}

void LogWorkspace::ApplyPrintMargins(const QMargins& margins) {
    for (const Entry* entry : std::as_const(m_entries))
        entry->view->SetPrintMargins(margins);
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

std::unique_ptr<PeriodicTimer> LogWorkspace::MakeTimer() const {
    if (m_timers)
        return m_timers();
    return std::make_unique<QtPeriodicTimer>();
}

QString LogWorkspace::FileFilter() const {
    return tr("Quillpad Files (*.qpd)") + QStringLiteral(";;") + tr("All Files (*.*)");
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
    if (!IsFromAnotherYear(monthPath) && month.open(QIODevice::ReadOnly)) {
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
    if (clean == CleanPath(m_app.GetLogFilePath()) &&
        std::none_of(m_entries.cbegin(), m_entries.cend(),
                     [](const Entry* e) { return e->doc->IsMonthLog(); })) {
        doc->SetMonthLog(true);
    }
    CQuillpadDoc* opened = CreateWindowFor(std::move(doc));
    AddRecent(clean);
    if (!damage.isEmpty())
        ReportDamaged(clean, damage);
    return opened;
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

CQuillpadDoc* LogWorkspace::CreateWindowFor(std::unique_ptr<CQuillpadDoc> doc) {
    auto* entry = new Entry;
    entry->doc = std::move(doc);
    entry->frame = new CChildFrame;
    entry->frame->setObjectName(QStringLiteral("logWindow"));
    ControlNames::NameAfterCaption(entry->frame);
    entry->view = new CQuillpadView(*entry->doc, *this);
    entry->view->SetPrintMargins(m_app.GetSettings().m_rcMargins);
    entry->frame->setWidget(entry->view);
    entry->frame->setWindowTitle(entry->doc->Title());
    entry->frame->setWindowIcon(m_frame.windowIcon());
    connect(entry->doc.get(), &CQuillpadDoc::titleChanged, entry->frame, &QWidget::setWindowTitle);
    // Cut, Copy and Undo follow the view's selection and history.
    connect(entry->view, &QPlainTextEdit::copyAvailable, &m_frame, &CMainFrame::UpdateCommandUi);
    connect(entry->view, &QPlainTextEdit::undoAvailable, &m_frame, &CMainFrame::UpdateCommandUi);
    CQuillpadDoc* created = entry->doc.get();
    entry->frame->SetCloseHandler([this, entry] {
        if (!CanClose(*entry->doc))
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
    m_frame.MdiArea()->addSubWindow(entry->frame);
    // A log window without a saved placement takes most of the main window.
    const QSize area = m_frame.MdiArea()->viewport()->size();
    entry->frame->resize(qMax(480, area.width() * 3 / 4), qMax(320, area.height() * 3 / 4));
    entry->frame->show();
    // The first-display work runs now, also while the main window itself stays hidden.
    entry->view->OnInitialUpdate();
    m_frame.UpdateCommandUi();
    return created;
}

bool LogWorkspace::CloseDocument(CQuillpadDoc& doc) {
    for (const Entry* entry : std::as_const(m_entries)) {
        if (entry->doc.get() == &doc)
            return entry->frame->close();
    }
    return false;
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
        !IsFromAnotherYear(monthPath)) {
        if (!doc.Document()->isEmpty())
            return;
        QString damage;
        if (!LoadDocument(doc, monthPath, &damage))
            return;
        CQuillpadView::ApplyLogFormat(*doc.Document());
        doc.Document()->clearUndoRedoStacks();
        doc.SetModified(false);
        if (!damage.isEmpty())
            ReportDamaged(monthPath, damage);
    }
    doc.SetMonthLog(true);
    doc.SetPathName(monthPath);
}

bool LogWorkspace::SaveLog(CQuillpadDoc& doc) {
    if (!doc.IsMonthLog())
        return Save(doc);
    // The path is taken anew each time: after the turn of a month the log goes on in the new
    // month's file and the previous one keeps its last saved state.
    const QString path = m_app.GetLogFilePath();
    QString error;
    if (!KeepEarlierYear(doc, path, &error) || !WriteDocument(doc, path, &error)) {
        ShowSaveError(path, error);
        return false;
    }
    if (doc.PathName() != path)
        doc.SetPathName(path);
    doc.SetModified(false);
    AddRecent(path);
    return true;
}

void LogWorkspace::SaveLogOnTimer(CQuillpadDoc& doc) {
    if (doc.IsMonthLog() || !doc.PathName().isEmpty())
        SaveLog(doc);
}

bool LogWorkspace::Save(CQuillpadDoc& doc) {
    if (doc.IsMonthLog())
        return SaveLog(doc);
    if (doc.PathName().isEmpty())
        return SaveAs(doc);
    QString error;
    if (!WriteDocument(doc, doc.PathName(), &error)) {
        ShowSaveError(doc.PathName(), error);
        return false;
    }
    doc.SetModified(false);
    AddRecent(doc.PathName());
    return true;
}

bool LogWorkspace::SaveAs(CQuillpadDoc& doc) {
    const QString initial = doc.PathName().isEmpty()
                                ? m_app.GetSettings().m_strDataDirectory + doc.Title()
                                : doc.PathName();
    const QString chosen = FileDialog::GetSaveFileName(&m_frame, initial, FileFilter());
    if (chosen.isEmpty())
        return false;
    const QString clean = CleanPath(chosen);
    const QString monthPath = CleanPath(m_app.GetLogFilePath());
    if (clean == monthPath && !doc.IsMonthLog()) {
        ShowError(tr("%1 is the log of this month. Please choose another name.")
                      .arg(QDir::toNativeSeparators(clean)));
        return false;
    }
    QString error;
    if (!WriteDocument(doc, clean, &error)) {
        ShowSaveError(clean, error);
        return false;
    }
    // The month's log stays the month's log; Save As only writes a copy of it.
    if (!doc.IsMonthLog()) {
        doc.SetPathName(clean);
        doc.SetModified(false);
    }
    AddRecent(clean);
    return true;
}

bool LogWorkspace::CanClose(CQuillpadDoc& doc) {
    if (doc.IsMonthLog() || (!doc.PathName().isEmpty() && doc.IsModified()))
        SaveLog(doc);
    while (doc.IsModified()) {
        const QMessageBox::StandardButton answer =
            MessageBox::QuestionWithCancel(&m_frame, tr("Save changes to %1?").arg(doc.Title()));
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::No)
            break;
        if (!Save(doc))
            return false;
    }
    return true;
}

bool LogWorkspace::WriteDocument(CQuillpadDoc& doc, const QString& path, QString* error) {
    if (!KeepOriginal(doc, path, error))
        return false;
    int unwritten = 0;
    QByteArray rtf = doc.ToRtf(&unwritten);
    if (unwritten > 0) {
        const QString note = tr("Pictures left out of %1 because they can no longer be read: %2")
                                 .arg(QDir::toNativeSeparators(path))
                                 .arg(unwritten);
        Entry* entry = EntryOf(doc);
        if (entry && entry->lossNoted != note) {
            entry->lossNoted = note;
            Note(doc, note);
            rtf = doc.ToRtf();
        }
    }
    return AtomicFile::Write(path, rtf, error);
}

// Files of other programs hold more than a log can (fonts, headers, drawings): before the
// first save over one, the file as it was is kept beside it, once.
bool LogWorkspace::KeepOriginal(CQuillpadDoc& doc, const QString& path, QString* error) {
    if (!QFileInfo(path).isFile())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (IsWrittenByQuillpad(file.read(kQuillpadHeaderBytes)))
        return true;
    const QString kept = path + QStringLiteral(".orig");
    if (QFileInfo::exists(kept))
        return true;
    const QByteArray bytes = file.seek(0) ? file.readAll() : QByteArray();
    AtomicFile::Options options;  // the copy is as private as the file
    struct stat status = {};
    if (::fstat(file.handle(), &status) == 0)
        options.newFileMode = status.st_mode & 07777;
    QString reason = file.errorString();
    if (bytes.size() != file.size() || !AtomicFile::Write(kept, bytes, options, &reason)) {
        *error = tr("The file as it was cannot be kept as %1.\n%2")
                     .arg(QDir::toNativeSeparators(kept), reason);
        return false;
    }
    Note(doc, tr("%1 was written by another program; the file as it was is kept as %2.")
                  .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(kept)));
    return true;
}

bool LogWorkspace::KeepEarlierYear(CQuillpadDoc& doc, const QString& path, QString* error) {
    if (!IsFromAnotherYear(path) || !path.endsWith(QStringLiteral(".qpd")))
        return true;
    const int year = QFileInfo(path).lastModified().date().year();
    const QString stem = path.chopped(4) + QLatin1Char(' ') + QString::number(year);
    QString kept = stem + QStringLiteral(".qpd");
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = stem + QStringLiteral(" (%1).qpd").arg(n);
    if (!QFile::rename(path, kept)) {
        *error = tr("%1 cannot be renamed to %2.")
                     .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(kept));
        return false;
    }
    Note(doc, tr("The log of %1 %2 is kept as %3.")
                  .arg(QFileInfo(path).completeBaseName(), QString::number(year),
                       QDir::toNativeSeparators(kept)));
    return true;
}

void LogWorkspace::Note(CQuillpadDoc& doc, const QString& text) {
    if (CQuillpadView* view = ViewOf(doc))
        view->AppendLine(text);
}

void LogWorkspace::ShowSaveError(const QString& path, const QString& error) {
    // The periodic save goes on failing while the box is up (its loop runs the timer): one box.
    if (m_bSaveErrorShown)
        return;
    m_bSaveErrorShown = true;
    ShowError(tr("Cannot save %1.\n%2").arg(QDir::toNativeSeparators(path), error));
    m_bSaveErrorShown = false;
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

void LogWorkspace::OpenFileCommand() {
    const QString path =
        FileDialog::GetOpenFileName(&m_frame, m_app.GetSettings().m_strDataDirectory, FileFilter());
    if (!path.isEmpty())
        OpenDocument(path);
}

QPrinter& LogWorkspace::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void LogWorkspace::PrintSetup() {
    QPrintDialog dialog(&Printer(), &m_frame);
    dialog.setWindowTitle(tr("Print Setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dialog.exec();
}

void LogWorkspace::Print() {
    CQuillpadView* view = ActiveView();
    if (!view)
        return;
    QPrintDialog dialog(&Printer(), &m_frame);
    if (dialog.exec() == QDialog::Accepted)
        PrintLog(*view->document(), Printer(), view->PrintMargins());
}

void LogWorkspace::PrintPreview() {
    CQuillpadView* view = ActiveView();
    if (!view)
        return;
    QPrintPreviewDialog preview(&Printer(), &m_frame);
    preview.setObjectName(QStringLiteral("printPreview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [view](QPrinter* printer) {
        PrintLog(*view->document(), *printer, view->PrintMargins());
    });
    preview.exec();
}

void LogWorkspace::ShowPageSetup() {
    CQuillpadView* view = ActiveView();
    if (!view)
        return;
    // The dialog shows the margins in inches to the thousandth, each on a multiple of ten.
    const QMargins shown = PageMargins::TwipsToShown(view->PrintMargins());
    QPrinter& printer = Printer();
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Inch);
    layout.setMargins(QMarginsF(shown.left() / 1000.0, shown.top() / 1000.0, shown.right() / 1000.0,
                                shown.bottom() / 1000.0));
    printer.setPageLayout(layout);
    QPageSetupDialog dialog(&printer, &m_frame);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QMarginsF inches = printer.pageLayout().margins(QPageLayout::Inch);
    const QMargins twips = PageMargins::ShownToTwips(
        QMargins(qRound(inches.left() * 1000), qRound(inches.top() * 1000),
                 qRound(inches.right() * 1000), qRound(inches.bottom() * 1000)));
    m_app.SetPrintMargins(twips.left(), twips.top(), twips.right(), twips.bottom());
}

void LogWorkspace::SendMail() {
    CQuillpadView* view = ActiveView();
    if (!view)
        return;
    CQuillpadDoc& doc = view->GetDocument();
    QString path = doc.PathName();
    if (doc.IsMonthLog() || (!path.isEmpty() && doc.IsModified())) {
        if (!SaveLog(doc))
            return;
        path = doc.PathName();
    }
    if (path.isEmpty()) {
        // An untitled log goes as a file of its own name in a private folder.
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                               QStringLiteral("/mail");
        QDir().mkpath(folder);
        path = folder + QLatin1Char('/') + doc.Title() + QStringLiteral(".qpd");
        QString error;
        if (!WriteDocument(doc, path, &error)) {
            ShowSaveError(path, error);
            return;
        }
    }
    HandToMailProgram(path);
}

void LogWorkspace::HandToMailProgram(const QString& path) {
    // xdg-email starts the desktop's mail program and ends; a status other than 0 means that
    // no mail program took the file, which the user must hear of.
    auto* mail = new QProcess(this);
    mail->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(mail, &QProcess::errorOccurred, this, [this, mail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        ShowError(tr("The log cannot be handed to a mail program: xdg-email is not available."));
        mail->deleteLater();
    });
    connect(mail, &QProcess::finished, this, [this, mail](int status, QProcess::ExitStatus how) {
        mail->deleteLater();
        if (how == QProcess::NormalExit && status == 0)
            return;
        ShowError(tr("No mail program took the log (xdg-email ended with status %1). Is an e-mail "
                     "program set up on this desktop?")
                      .arg(how == QProcess::NormalExit ? status : -1));
    });
    mail->start(QStringLiteral("xdg-email"), {QStringLiteral("--attach"), path});
}

void LogWorkspace::PasteSpecial() {
    CQuillpadView* view = ActiveView();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!view || !data)
        return;
    QStringList kinds;
    if (data->hasImage())
        kinds.append(tr("Picture"));
    if (data->hasText())
        kinds.append(tr("Unformatted Text"));
    if (kinds.isEmpty())
        return;
    bool ok = false;
    const QString kind =
        QInputDialog::getItem(&m_frame, tr("Paste Special"), tr("As:"), kinds, 0, false, &ok);
    if (!ok)
        return;
    if (kind == tr("Picture"))
        view->InsertPicture(qvariant_cast<QImage>(data->imageData()));
    else
        view->textCursor().insertText(data->text(), CQuillpadView::LogCharFormat());
}

void LogWorkspace::WireCommands() {
    using namespace Cmd;
    CommandTable& commands = m_frame.Commands();
    auto active = [this] { return ActiveView() != nullptr; };
    auto withView = [this](auto action) {
        return [this, action] {
            if (CQuillpadView* view = ActiveView())
                action(*view);
        };
    };
    auto findDialog = [this](CQuillpadView& view) {
        if (!m_find)
            m_find = new CFindReplaceDialog(&m_frame);
        m_find->SetEditor(&view);
        return m_find;
    };
    commands.SetHandler(FileNew, [this] { NewDocument(); });
    commands.SetHandler(FileOpen, [this] { OpenFileCommand(); });
    commands.SetHandler(
        FileClose, withView([this](CQuillpadView& v) { CloseDocument(v.GetDocument()); }), active);
    commands.SetHandler(FileSave, withView([this](CQuillpadView& v) { Save(v.GetDocument()); }),
                        active);
    commands.SetHandler(FileSaveAs, withView([this](CQuillpadView& v) { SaveAs(v.GetDocument()); }),
                        active);
    commands.SetHandler(FilePrintSetup, [this] { PrintSetup(); });
    commands.SetHandler(
        FilePrint, [this] { Print(); }, active);
    commands.SetHandler(
        FilePrintPreview, [this] { PrintPreview(); }, active);
    commands.SetHandler(
        Cmd::PageSetup, [this] { ShowPageSetup(); }, active);
    commands.SetHandler(
        FileSendMail, [this] { SendMail(); }, active);
    commands.SetHandler(SendMessage,
                        withView([this](CQuillpadView& v) { m_services.SendMessage(v); }),
                        [this] { return m_services.CanSendMessage() && ActiveView(); });
    commands.SetHandler(
        AddressGet, [this] { m_services.GetAddressBooks(&m_frame, {}); },
        [this] { return m_services.CanGetAddressBooks(); });

    commands.SetHandler(EditUndo, withView([](CQuillpadView& v) { v.undo(); }), [this] {
        return ActiveView() && ActiveView()->document()->isUndoAvailable();
    });
    auto hasSelection = [this] {
        return ActiveView() && ActiveView()->textCursor().hasSelection();
    };
    commands.SetHandler(EditCut, withView([](CQuillpadView& v) { v.cut(); }), hasSelection);
    commands.SetHandler(EditCopy, withView([](CQuillpadView& v) { v.copy(); }), hasSelection);
    commands.SetHandler(EditPaste, withView([](CQuillpadView& v) { v.paste(); }),
                        [this] { return ActiveView() && ActiveView()->canPaste(); });
    commands.SetHandler(
        EditPasteSpecial, [this] { PasteSpecial(); },
        [this] { return ActiveView() && ActiveView()->canPaste(); });
    commands.SetHandler(EditSelectAll, withView([](CQuillpadView& v) { v.selectAll(); }), active);
    commands.SetHandler(
        EditFind, withView([findDialog](CQuillpadView& v) { findDialog(v)->ShowFind(); }), active);
    commands.SetHandler(EditFindNext,
                        withView([findDialog](CQuillpadView& v) { findDialog(v)->FindNext(); }),
                        active);
    commands.SetHandler(EditReplace,
                        withView([findDialog](CQuillpadView& v) { findDialog(v)->ShowReplace(); }),
                        active);
}
