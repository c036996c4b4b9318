#include "shell/LogCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QInputDialog>
#include <QMimeData>
#include <QStandardPaths>

#include "app/Settings.h"
#include "shell/CFindReplaceDialog.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/Commands.h"
#include "shell/FileDialog.h"
#include "shell/IApplication.h"
#include "shell/LogSaver.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/MailHandOver.h"

LogCommands::LogCommands(LogWorkspace& workspace, QObject* parent)
    : QObject(parent),
      m_workspace(workspace),
      m_printer(workspace.App(), workspace.Frame()),
      m_mail(new MailHandOver(this)) {
    connect(m_mail, &MailHandOver::failed, this,
            [this](const QString& text) { m_workspace.ShowError(text); });
    CommandTable& commands = m_workspace.Frame().Commands();
    WireFileCommands(commands);
    WirePrintCommands(commands);
    WireServiceCommands(commands);
    WireEditCommands(commands);
    WireFindCommands(commands);
}

LogCommands::~LogCommands() = default;

std::function<void()> LogCommands::OnActiveView(ViewAction action) const {
    return [this, action = std::move(action)] {
        if (CQuillpadView* view = m_workspace.ActiveView())
            action(*view);
    };
}

bool LogCommands::HasActiveView() const {
    return m_workspace.ActiveView() != nullptr;
}

void LogCommands::WireFileCommands(CommandTable& commands) {
    const auto active = [this] { return HasActiveView(); };
    commands.SetHandler(Cmd::FileNew, [this] { m_workspace.NewDocument(); });
    commands.SetHandler(Cmd::FileOpen, [this] { OpenFile(); });
    commands.SetHandler(Cmd::FileClose, OnActiveView([this](CQuillpadView& v) {
                            m_workspace.CloseDocument(v.GetDocument());
                        }),
                        active);
    commands.SetHandler(Cmd::FileSave, OnActiveView([this](CQuillpadView& v) {
                            m_workspace.Saver().Save(v.GetDocument());
                        }),
                        active);
    commands.SetHandler(Cmd::FileSaveAs, OnActiveView([this](CQuillpadView& v) {
                            m_workspace.Saver().SaveAs(v.GetDocument());
                        }),
                        active);
}

void LogCommands::WirePrintCommands(CommandTable& commands) {
    const auto active = [this] { return HasActiveView(); };
    commands.SetHandler(Cmd::FilePrintSetup, [this] { m_printer.PrintSetup(); });
    commands.SetHandler(Cmd::FilePrint,
                        OnActiveView([this](CQuillpadView& v) { m_printer.Print(v); }), active);
    commands.SetHandler(Cmd::FilePrintPreview,
                        OnActiveView([this](CQuillpadView& v) { m_printer.PrintPreview(v); }),
                        active);
    commands.SetHandler(Cmd::PageSetup,
                        OnActiveView([this](CQuillpadView& v) { m_printer.ShowPageSetup(v); }),
                        active);
    commands.SetHandler(Cmd::FileSendMail, OnActiveView([this](CQuillpadView& v) { SendMail(v); }),
                        active);
}

void LogCommands::WireServiceCommands(CommandTable& commands) {
    commands.SetHandler(
        Cmd::SendMessage,
        OnActiveView([this](CQuillpadView& v) { m_workspace.Services().SendMessage(v); }),
        [this] { return m_workspace.Services().CanSendMessage() && HasActiveView(); });
    commands.SetHandler(
        Cmd::AddressGet,
        [this] { m_workspace.Services().GetAddressBooks(&m_workspace.Frame(), {}); },
        [this] { return m_workspace.Services().CanGetAddressBooks(); });
}

void LogCommands::WireEditCommands(CommandTable& commands) {
    const auto active = [this] { return HasActiveView(); };
    commands.SetHandler(Cmd::EditUndo, OnActiveView([](CQuillpadView& v) { v.undo(); }), [this] {
        CQuillpadView* view = m_workspace.ActiveView();
        return view && view->document()->isUndoAvailable();
    });
    const auto hasSelection = [this] {
        CQuillpadView* view = m_workspace.ActiveView();
        return view && view->textCursor().hasSelection();
    };
    commands.SetHandler(Cmd::EditCut, OnActiveView([](CQuillpadView& v) { v.cut(); }),
                        hasSelection);
    commands.SetHandler(Cmd::EditCopy, OnActiveView([](CQuillpadView& v) { v.copy(); }),
                        hasSelection);
    const auto canPaste = [this] {
        CQuillpadView* view = m_workspace.ActiveView();
        return view && view->canPaste();
    };
    commands.SetHandler(Cmd::EditPaste, OnActiveView([](CQuillpadView& v) { v.paste(); }),
                        canPaste);
    commands.SetHandler(Cmd::EditPasteSpecial,
                        OnActiveView([this](CQuillpadView& v) { PasteSpecial(v); }), canPaste);
    commands.SetHandler(Cmd::EditSelectAll, OnActiveView([](CQuillpadView& v) { v.selectAll(); }),
                        active);
}

void LogCommands::WireFindCommands(CommandTable& commands) {
    const auto active = [this] { return HasActiveView(); };
    commands.SetHandler(Cmd::EditFind,
                        OnActiveView([this](CQuillpadView& v) { FindDialog(v).ShowFind(); }),
                        active);
    commands.SetHandler(Cmd::EditFindNext,
                        OnActiveView([this](CQuillpadView& v) { FindDialog(v).FindNext(); }),
                        active);
    commands.SetHandler(Cmd::EditReplace,
                        OnActiveView([this](CQuillpadView& v) { FindDialog(v).ShowReplace(); }),
                        active);
}

CFindReplaceDialog& LogCommands::FindDialog(CQuillpadView& view) {
    if (!m_find)
        m_find = new CFindReplaceDialog(&m_workspace.Frame());
    m_find->SetEditor(&view);
    return *m_find;
}

void LogCommands::OpenFile() {
    const QString path = FileDialog::GetOpenFileName(
        &m_workspace.Frame(), m_workspace.App().GetSettings().m_strDataDirectory,
        LogWorkspace::FileFilter());
    if (!path.isEmpty())
        m_workspace.OpenDocument(path);
}

void LogCommands::SendMail(CQuillpadView& view) {
    CQuillpadDoc& doc = view.GetDocument();
    LogSaver& saver = m_workspace.Saver();
    QString path = doc.PathName();
    if (doc.IsMonthLog() || (!path.isEmpty() && doc.IsModified())) {
        if (!saver.SaveLog(doc))
            return;
        path = doc.PathName();
    }
    if (path.isEmpty()) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                               QStringLiteral("/mail");
        QDir().mkpath(folder);
        path = folder + QLatin1Char('/') + doc.Title() + QStringLiteral(".qpd");
        QString error;
        if (!saver.WriteDocument(doc, path, &error)) {
            saver.ShowSaveError(path, error);
            return;
        }
    }
    m_mail->Hand(path);
}

void LogCommands::PasteSpecial(CQuillpadView& view) {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return;
    QStringList kinds;
    if (data->hasImage())
        kinds.append(tr("Picture"));
    if (data->hasText())
        kinds.append(tr("Unformatted Text"));
    if (kinds.isEmpty())
        return;
    bool ok = false;
    const QString kind = QInputDialog::getItem(&m_workspace.Frame(), tr("Paste Special"), tr("As:"),
                                               kinds, 0, false, &ok);
    if (!ok)
        return;
    if (kind == tr("Picture"))
        view.InsertPicture(qvariant_cast<QImage>(data->imageData()));
    else
        view.textCursor().insertText(data->text(), CQuillpadView::LogCharFormat());
}
