#pragma once

#include <QList>
#include <functional>
#include <map>

// Command ids of the main window, its menus, its toolbar and its tray icon.
namespace Cmd {
enum : int {
    SendMessageTray = 16,  // tray menu and double-click; forwarded to SendMessage
    ContextHelpMode = 57669,
    SendMessage = 32771,
    PageSetup = 32772,
    Preferences = 32773,
    AddressGet = 32776,
    AddressEdit = 32777,
    AddressDelete = 32778,
    AddressNew = 32779,
    TrayRestore = 32782,
    TrayExit = 32784,
    FileNew = 57600,
    FileOpen = 57601,
    FileClose = 57602,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrintSetup = 57606,
    FilePrint = 57607,
    FilePrintPreview = 57609,
    FileSendMail = 57612,
    FileMruFirst = 57616,  // the recent-file list
    EditCopy = 57634,
    EditCut = 57635,
    EditFind = 57636,
    EditPaste = 57637,
    EditPasteSpecial = 57639,
    EditFindNext = 57640,
    EditReplace = 57641,
    EditSelectAll = 57642,
    EditUndo = 57643,
    WindowArrange = 57649,
    WindowCascade = 57650,
    WindowTile = 57651,
    AppAbout = 57664,
    AppExit = 57665,
    HelpTopics = 57667,
    HelpCurrentTask = 57670,
    NextPane = 57680,
    PreviousPane = 57681,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
};
constexpr int kSeparator = 0;
}  // namespace Cmd

// What a command looks like wherever it appears.
struct CommandInfo {
    int id;
    const char* objectName;  // the role: names the action and its toolbar button
    const char* text;        // menu text with its '&' mnemonic
    const char* shortcuts;   // key sequences separated by ';', or empty
    const char* prompt;      // status-bar prompt
    const char* iconName;    // icon theme name for toolbar buttons, or empty
    const char* fallback;    // our own toolbar image (":/toolbar/..." without size), or empty
};

const CommandInfo* FindCommand(int id);
const QList<CommandInfo>& AllCommands();

// Menu bars: 128 while no log document is open, 129 while one is.
struct MenuDefinition {
    const char* title;
    QList<int> items;  // command ids; Cmd::kSeparator for a separator
};
QList<MenuDefinition> MainMenu(bool documentOpen);
QList<int> MainToolbar();
QList<int> TrayMenu();

// Which commands run and which are enabled. A command without a handler is disabled, so
// nothing the user can choose is ever a silent no-op.
class CommandTable {
public:
    using Handler = std::function<void()>;
    using Enabler = std::function<bool()>;

    void SetHandler(int id, Handler handler, Enabler enabler = {});
    void RemoveHandler(int id);
    bool HasHandler(int id) const;
    bool IsEnabled(int id) const;
    // Runs the command when it is enabled; false otherwise.
    bool Execute(int id) const;

private:
    struct Entry {
        Handler handler;
        Enabler enabler;
    };
    std::map<int, Entry> m_entries;
};
