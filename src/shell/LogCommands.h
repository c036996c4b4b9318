#pragma once

#include <QObject>
#include <functional>

#include "shell/LogPrinter.h"

class CFindReplaceDialog;
class CommandTable;
class CQuillpadView;
class LogWorkspace;
class MailHandOver;

// The main window's commands on the log documents: File (new, open, close, save, print, mail),
// Edit (undo, clipboard, find and replace), and the commands a log view starts elsewhere (a new
// note, fetching address books). Each runs on the active log view.
class LogCommands : public QObject {
    Q_OBJECT
public:
    explicit LogCommands(LogWorkspace& workspace, QObject* parent = nullptr);
    ~LogCommands() override;

    LogPrinter& Printer() { return m_printer; }

private:
    using ViewAction = std::function<void(CQuillpadView&)>;
    // The command's handler: action on the active view, when there is one.
    std::function<void()> OnActiveView(ViewAction action) const;
    bool HasActiveView() const;

    void WireFileCommands(CommandTable& commands);
    void WirePrintCommands(CommandTable& commands);
    void WireEditCommands(CommandTable& commands);
    void WireFindCommands(CommandTable& commands);
    void WireServiceCommands(CommandTable& commands);

    void OpenFile();
    // Hands the view's log to the mail program: the month's log and a modified log of a file
    // are saved first; an untitled log goes as a file of its own name in a private folder.
    void SendMail(CQuillpadView& view);
    void PasteSpecial(CQuillpadView& view);
    CFindReplaceDialog& FindDialog(CQuillpadView& view);

    LogWorkspace& m_workspace;
    LogPrinter m_printer;
    MailHandOver* m_mail;
    CFindReplaceDialog* m_find = nullptr;
};
