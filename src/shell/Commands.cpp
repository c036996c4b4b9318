#include "shell/Commands.h"

#include <QtGlobal>

namespace {

// clang-format off
const QList<CommandInfo> kCommands = {
    {Cmd::FileNew, "fileNew", QT_TRANSLATE_NOOP("Commands", "&New"), "Ctrl+N", QT_TRANSLATE_NOOP("Commands", "Create a new document"), "document-new", ":/toolbar/icons/toolbar/new"},
    {Cmd::FileOpen, "fileOpen", QT_TRANSLATE_NOOP("Commands", "&Open..."), "Ctrl+O", QT_TRANSLATE_NOOP("Commands", "Open an existing document"), "document-open", ":/toolbar/icons/toolbar/open"},
    {Cmd::FileClose, "fileClose", QT_TRANSLATE_NOOP("Commands", "&Close"), "", QT_TRANSLATE_NOOP("Commands", "Close the active document"), "", ""},
    {Cmd::FileSave, "fileSave", QT_TRANSLATE_NOOP("Commands", "&Save"), "Ctrl+S", QT_TRANSLATE_NOOP("Commands", "Save the active document"), "document-save", ":/toolbar/icons/toolbar/save"},
    {Cmd::FileSaveAs, "fileSaveAs", QT_TRANSLATE_NOOP("Commands", "Save &As..."), "", QT_TRANSLATE_NOOP("Commands", "Save the active document with a new name"), "", ""},
    {Cmd::FilePrintSetup, "filePrintSetup", QT_TRANSLATE_NOOP("Commands", "P&rint Setup..."), "", QT_TRANSLATE_NOOP("Commands", "Change the printer and printing options"), "", ""},
    {Cmd::FilePrint, "filePrint", QT_TRANSLATE_NOOP("Commands", "&Print..."), "Ctrl+P", QT_TRANSLATE_NOOP("Commands", "Print the active document"), "document-print", ":/toolbar/icons/toolbar/print"},
    {Cmd::FilePrintPreview, "filePrintPreview", QT_TRANSLATE_NOOP("Commands", "Print Pre&view"), "", QT_TRANSLATE_NOOP("Commands", "Display full pages"), "", ""},
    {Cmd::PageSetup, "pageSetup", QT_TRANSLATE_NOOP("Commands", "Page Set&up..."), "", QT_TRANSLATE_NOOP("Commands", "Change the page margins of the log"), "", ""},
    {Cmd::FileSendMail, "fileSendMail", QT_TRANSLATE_NOOP("Commands", "Sen&d..."), "", QT_TRANSLATE_NOOP("Commands", "Send the active document through electronic mail"), "", ""},
    {Cmd::FileMruFirst, "recentFile", QT_TRANSLATE_NOOP("Commands", "Recent File"), "", QT_TRANSLATE_NOOP("Commands", "Open this document"), "", ""},
    {Cmd::Preferences, "preferences", QT_TRANSLATE_NOOP("Commands", "P&references"), "", QT_TRANSLATE_NOOP("Commands", "Set your preferences"), "preferences-system", ":/toolbar/icons/toolbar/preferences"},
    {Cmd::AppExit, "appExit", QT_TRANSLATE_NOOP("Commands", "E&xit"), "", QT_TRANSLATE_NOOP("Commands", "Quit the application; prompts to save documents"), "application-exit", ""},
    {Cmd::SendMessage, "sendMessage", QT_TRANSLATE_NOOP("Commands", "S&end"), "Ctrl+E", QT_TRANSLATE_NOOP("Commands", "Write and send a new note"), "mail-send", ":/toolbar/icons/toolbar/send-message"},
    {Cmd::SendMessageTray, "traySendMessage", QT_TRANSLATE_NOOP("Commands", "&Send Message"), "", QT_TRANSLATE_NOOP("Commands", "Write and send a new note"), "", ""},
    {Cmd::AddressEdit, "addressEdit", QT_TRANSLATE_NOOP("Commands", "E&dit"), "Ctrl+D", QT_TRANSLATE_NOOP("Commands", "Edit address book"), "", ""},
    {Cmd::AddressDelete, "addressDelete", QT_TRANSLATE_NOOP("Commands", "De&lete"), "Ctrl+L", QT_TRANSLATE_NOOP("Commands", "Delete address books"), "", ""},
    {Cmd::AddressNew, "addressNew", QT_TRANSLATE_NOOP("Commands", "Ne&w"), "Ctrl+W", QT_TRANSLATE_NOOP("Commands", "Create new address book"), "", ""},
    {Cmd::AddressGet, "addressGet", QT_TRANSLATE_NOOP("Commands", "Ge&t"), "Ctrl+T", QT_TRANSLATE_NOOP("Commands", "Get address book from FTP Servers"), "", ""},
    {Cmd::EditUndo, "editUndo", QT_TRANSLATE_NOOP("Commands", "&Undo"), "Ctrl+Z;Alt+Backspace", QT_TRANSLATE_NOOP("Commands", "Undo the last action"), "", ""},
    {Cmd::EditCut, "editCut", QT_TRANSLATE_NOOP("Commands", "Cu&t"), "Ctrl+X;Shift+Del", QT_TRANSLATE_NOOP("Commands", "Cut the selection and put it on the Clipboard"), "edit-cut", ":/toolbar/icons/toolbar/cut"},
    {Cmd::EditCopy, "editCopy", QT_TRANSLATE_NOOP("Commands", "&Copy"), "Ctrl+C;Ctrl+Ins", QT_TRANSLATE_NOOP("Commands", "Copy the selection and put it on the Clipboard"), "edit-copy", ":/toolbar/icons/toolbar/copy"},
    {Cmd::EditPaste, "editPaste", QT_TRANSLATE_NOOP("Commands", "&Paste"), "Ctrl+V;Shift+Ins", QT_TRANSLATE_NOOP("Commands", "Insert Clipboard contents"), "edit-paste", ":/toolbar/icons/toolbar/paste"},
    {Cmd::EditPasteSpecial, "editPasteSpecial", QT_TRANSLATE_NOOP("Commands", "Paste &Special..."), "", QT_TRANSLATE_NOOP("Commands", "Insert Clipboard contents with options"), "", ""},
    {Cmd::EditSelectAll, "editSelectAll", QT_TRANSLATE_NOOP("Commands", "Select A&ll"), "Ctrl+A", QT_TRANSLATE_NOOP("Commands", "Select the entire document"), "", ""},
    {Cmd::EditFind, "editFind", QT_TRANSLATE_NOOP("Commands", "&Find..."), "Ctrl+F", QT_TRANSLATE_NOOP("Commands", "Find the specified text"), "", ""},
    {Cmd::EditFindNext, "editFindNext", QT_TRANSLATE_NOOP("Commands", "F&ind Next"), "F3", QT_TRANSLATE_NOOP("Commands", "Repeat the last action"), "", ""},
    {Cmd::EditReplace, "editReplace", QT_TRANSLATE_NOOP("Commands", "R&eplace"), "Ctrl+H", QT_TRANSLATE_NOOP("Commands", "Replace specific text with different text"), "", ""},
    {Cmd::ViewToolbar, "viewToolbar", QT_TRANSLATE_NOOP("Commands", "&Toolbar"), "", QT_TRANSLATE_NOOP("Commands", "Show or hide the toolbar"), "", ""},
    {Cmd::ViewStatusBar, "viewStatusBar", QT_TRANSLATE_NOOP("Commands", "&Status Bar"), "", QT_TRANSLATE_NOOP("Commands", "Show or hide the status bar"), "", ""},
    {Cmd::WindowCascade, "windowCascade", QT_TRANSLATE_NOOP("Commands", "&Cascade"), "", QT_TRANSLATE_NOOP("Commands", "Arrange windows so they overlap"), "", ""},
    {Cmd::WindowTile, "windowTile", QT_TRANSLATE_NOOP("Commands", "&Tile"), "", QT_TRANSLATE_NOOP("Commands", "Arrange windows as non-overlapping tiles"), "", ""},
    {Cmd::WindowArrange, "windowArrange", QT_TRANSLATE_NOOP("Commands", "&Arrange Icons"), "", QT_TRANSLATE_NOOP("Commands", "Arrange icons at the bottom of the window"), "", ""},
    {Cmd::HelpTopics, "helpTopics", QT_TRANSLATE_NOOP("Commands", "&Help Topics"), "F1", QT_TRANSLATE_NOOP("Commands", "List Help topics"), "help-contents", ""},
    {Cmd::AppAbout, "appAbout", QT_TRANSLATE_NOOP("Commands", "&About Quillpad..."), "", QT_TRANSLATE_NOOP("Commands", "Display program information, version number and copyright"), "help-about", ":/toolbar/icons/toolbar/about"},
    {Cmd::ContextHelpMode, "contextHelp", QT_TRANSLATE_NOOP("Commands", "What's &This?"), "Shift+F1", QT_TRANSLATE_NOOP("Commands", "Display help for clicked on buttons, menus and windows"), "help-contextual", ":/toolbar/icons/toolbar/context-help"},
    {Cmd::NextPane, "nextPane", QT_TRANSLATE_NOOP("Commands", "Next Window"), "F6", QT_TRANSLATE_NOOP("Commands", "Switch to the next window"), "", ""},
    {Cmd::PreviousPane, "previousPane", QT_TRANSLATE_NOOP("Commands", "Previous Window"), "Shift+F6", QT_TRANSLATE_NOOP("Commands", "Switch back to the previous window"), "", ""},
    {Cmd::TrayRestore, "trayRestore", QT_TRANSLATE_NOOP("Commands", "&Restore"), "", QT_TRANSLATE_NOOP("Commands", "Show the main window"), "", ""},
    {Cmd::TrayExit, "trayExit", QT_TRANSLATE_NOOP("Commands", "&Exit"), "", QT_TRANSLATE_NOOP("Commands", "Quit the application"), "", ""},
};
// clang-format on

constexpr int S = Cmd::kSeparator;

}  // namespace

const QList<CommandInfo>& AllCommands() {
    return kCommands;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& info : kCommands) {
        if (info.id == id)
            return &info;
    }
    return nullptr;
}

QList<MenuDefinition> MainMenu(bool documentOpen) {
    using namespace Cmd;
    const MenuDefinition address{QT_TRANSLATE_NOOP("Commands", "&Address"),
                                 {AddressEdit, AddressDelete, AddressNew, S, AddressGet}};
    const MenuDefinition view{QT_TRANSLATE_NOOP("Commands", "&View"), {ViewToolbar, ViewStatusBar}};
    const MenuDefinition help{QT_TRANSLATE_NOOP("Commands", "&Help"), {HelpTopics, S, AppAbout}};
    if (!documentOpen) {
        return {{QT_TRANSLATE_NOOP("Commands", "&File"),
                 {FileNew, FileOpen, S, FilePrintSetup, S, FileMruFirst, S, AppExit}},
                address,
                view,
                help};
    }
    return {{QT_TRANSLATE_NOOP("Commands", "&File"),
             {FileNew, FileOpen, FileClose, FileSave, FileSaveAs, S, Preferences, S, FilePrint,
              FilePrintPreview, PageSetup, S, FileSendMail, S, FileMruFirst, S, AppExit}},
            {QT_TRANSLATE_NOOP("Commands", "&Message"), {SendMessage}},
            address,
            {QT_TRANSLATE_NOOP("Commands", "&Edit"),
             {EditUndo, S, EditCut, EditCopy, EditPaste, EditPasteSpecial, EditSelectAll, S,
              EditFind, EditFindNext, EditReplace}},
            view,
            {QT_TRANSLATE_NOOP("Commands", "&Window"), {WindowCascade, WindowTile, WindowArrange}},
            help};
}

QList<int> MainToolbar() {
    using namespace Cmd;
    return {SendMessage, Preferences, S,         FileNew, FileOpen,  FileSave, S,
            EditCut,     EditCopy,    EditPaste, S,       FilePrint, AppAbout, ContextHelpMode};
}

QList<int> TrayMenu() {
    using namespace Cmd;
    return {SendMessageTray, S, TrayRestore, AppAbout, S, TrayExit};
}

void CommandTable::SetHandler(int id, Handler handler, Enabler enabler) {
    m_entries[id] = Entry{std::move(handler), std::move(enabler)};
}

void CommandTable::RemoveHandler(int id) {
    m_entries.erase(id);
}

bool CommandTable::HasHandler(int id) const {
    return m_entries.count(id) != 0;
}

bool CommandTable::IsEnabled(int id) const {
    const auto it = m_entries.find(id);
    return it != m_entries.end() && it->second.handler &&
           (!it->second.enabler || it->second.enabler());
}

bool CommandTable::Execute(int id) const {
    if (!IsEnabled(id))
        return false;
    m_entries.at(id).handler();
    return true;
}
