#include "shell/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>
#include <QWindow>

#include "app/Settings.h"
#include "platform/LockKeys.h"
#include "platform/PeriodicTimer.h"
#include "shell/CAboutDialog.h"
#include "shell/CTrayIcon.h"
#include "shell/ControlNames.h"
#include "shell/IApplication.h"
#include "shell/NoteReminder.h"
#include "shell/Resources.h"
#include "shell/SoundSpec.h"
#include "shell/StatusPaneText.h"
#include "shell/WindowPlacementStore.h"

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("Commands", text);
}

}  // namespace

using ControlNames::SetRole;
using ControlNames::Words;

CMainFrame::CMainFrame(IApplication& app, std::unique_ptr<PeriodicTimer> reminderTimer,
                       QWidget* parent)
    : QMainWindow(parent), m_app(app), m_reminderTimer(std::move(reminderTimer)) {
    SetRole(this, QStringLiteral("mainFrame"), QString::fromLatin1(IApplication::kAppTitle));
    setWindowTitle(QString::fromLatin1(IApplication::kAppTitle));
    setWindowIcon(Resources::ProgramIcon());
    resize(720, 520);

    m_mdiArea = new QMdiArea(this);
    SetRole(m_mdiArea, QStringLiteral("mdiArea"), tr("Log windows"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateCommandUi);

    CreateActions();
    WireCommands();
    BuildMenuBars();
    CreateToolBar();
    CreateStatusBar();

    if (!m_reminderTimer)
        m_reminderTimer = std::make_unique<QtPeriodicTimer>(this);
    m_reminder = std::make_unique<NoteReminder>(
        m_app.GetSettings(), *m_reminderTimer, [this] { return m_app.m_nUnansweredNoteCount; },
        [this] { m_app.PlayNotificationSound(MessageSound(m_app.GetSettings())); });
    m_reminder->Start();

    ApplyAlwaysOnTop();
    if (m_app.IsTrayMode())
        CreateTrayIcon();
    PlaceAtStart();
    setAcceptDrops(true);
    UpdateCommandUi();
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    // The log windows go while this window is still whole: as they go they report to it, and
    // it must not update its menus any more.
    m_bDestroying = true;
    delete m_mdiArea;
    m_mdiArea = nullptr;
    qApp->removeEventFilter(this);
    m_reminderTimer->Stop();
}

QAction* CMainFrame::Action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions() {
    for (const CommandInfo& info : AllCommands()) {
        auto* action = new QAction(Tr(info.text), this);
        action->setObjectName(QLatin1String(info.objectName));
        action->setStatusTip(Tr(info.prompt));
        if (*info.shortcuts) {
            QList<QKeySequence> keys;
            for (const QString& key : QString::fromLatin1(info.shortcuts).split(QLatin1Char(';')))
                keys.append(QKeySequence::fromString(key, QKeySequence::PortableText));
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (*info.iconName || *info.fallback)
            action->setIcon(Resources::ToolbarIcon(info.iconName, info.fallback));
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { m_commands.Execute(id); });
        m_actions[id] = action;
        addAction(action);  // shortcuts work whichever menu bar is shown
    }
    Action(Cmd::ViewToolbar)->setCheckable(true);
    Action(Cmd::ViewStatusBar)->setCheckable(true);
    Action(Cmd::SendMessageTray)->setText(tr("&Send Message"));
}

void CMainFrame::WireCommands() {
    using namespace Cmd;
    auto hasDocuments = [this] { return !m_mdiArea->subWindowList().isEmpty(); };
    m_commands.SetHandler(
        SendMessageTray, [this] { m_commands.Execute(SendMessage); },
        [this] { return m_commands.IsEnabled(SendMessage); });
    m_commands.SetHandler(TrayRestore, [this] { Restore(); });
    m_commands.SetHandler(TrayExit, [this] { RequestExit(); });
    m_commands.SetHandler(AppExit, [this] { RequestExit(); });
    m_commands.SetHandler(AppAbout, [this] { ShowAboutBox(); });
    m_commands.SetHandler(HelpTopics, [this] { ShowHelp(); });
    m_commands.SetHandler(ContextHelpMode, [] { QWhatsThis::enterWhatsThisMode(); });
    m_commands.SetHandler(ViewToolbar, [this] { m_toolBar->setVisible(!m_toolBar->isVisible()); });
    m_commands.SetHandler(ViewStatusBar,
                          [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    m_commands.SetHandler(
        WindowCascade, [this] { m_mdiArea->cascadeSubWindows(); }, hasDocuments);
    m_commands.SetHandler(
        WindowTile, [this] { m_mdiArea->tileSubWindows(); }, hasDocuments);
    m_commands.SetHandler(
        WindowArrange, [this] { ArrangeIcons(); }, hasDocuments);
    m_commands.SetHandler(
        NextPane, [this] { m_mdiArea->activateNextSubWindow(); }, hasDocuments);
    m_commands.SetHandler(
        PreviousPane, [this] { m_mdiArea->activatePreviousSubWindow(); }, hasDocuments);
}

QMenu* CMainFrame::BuildMenu(const MenuDefinition& definition) {
    auto* menu = new QMenu(Tr(definition.title), this);
    QString role = Tr(definition.title).remove(QLatin1Char('&')).toLower() + QStringLiteral("Menu");
    SetRole(menu, role, Words(Tr(definition.title)));
    for (const int id : definition.items) {
        if (id == Cmd::kSeparator) {
            menu->addSeparator();
            continue;
        }
        // Where the window manager's system menu cannot take "Send Message", the File menu
        // offers it.
        if (id == Cmd::AppExit && !m_app.IsTrayMode()) {
            menu->addAction(Action(Cmd::SendMessageTray));
            menu->addSeparator();
        }
        menu->addAction(Action(id));
    }
    if (definition.items.contains(Cmd::WindowCascade))
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillWindowList(menu); });
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    return menu;
}

void CMainFrame::BuildMenuBars() {
    SetRole(menuBar(), QStringLiteral("menuBar"), tr("Menu bar"));
    for (const bool documentOpen : {false, true}) {
        for (const MenuDefinition& definition : MainMenu(documentOpen))
            m_menus[documentOpen ? 1 : 0].append(BuildMenu(definition));
    }
    for (QMenu* menu : m_menus[0])
        menuBar()->addMenu(menu);
    m_bDocumentMenu = false;
}

void CMainFrame::FillWindowList(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->property("windowListEntry").toBool()) {
            menu->removeAction(action);
            action->deleteLater();
        }
    }
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        QAction* entry =
            menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(window->windowTitle()));
        entry->setProperty("windowListEntry", true);
        entry->setCheckable(true);
        entry->setChecked(window == m_mdiArea->activeSubWindow());
        connect(entry, &QAction::triggered, m_mdiArea,
                [this, window] { m_mdiArea->setActiveSubWindow(window); });
        if (i == 0) {
            QAction* separator = menu->insertSeparator(entry);
            separator->setProperty("windowListEntry", true);
        }
    }
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(tr("Toolbar"), this);
    SetRole(m_toolBar, QStringLiteral("toolBar"), m_toolBar->windowTitle());
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    for (const int id : MainToolbar()) {
        if (id == Cmd::kSeparator) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        m_toolBar->addAction(action);
        SetRole(m_toolBar->widgetForAction(action), action->objectName() + QStringLiteral("Button"),
                Words(action->text()));
        m_toolBar->widgetForAction(action)->setAccessibleDescription(action->statusTip());
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    SetRole(bar, QStringLiteral("statusBar"), tr("Status bar"));
    // A screen reader reads the message with the bar's name, and each pane's text with its own.
    connect(bar, &QStatusBar::messageChanged, bar, &QWidget::setAccessibleDescription);
    // Prompts and progress cover this pane for a while; it shows again when they are done.
    m_messagePane = new QLabel(tr("Ready"), bar);
    SetRole(m_messagePane, QStringLiteral("messagePane"), tr("Status"));
    m_messagePane->setAccessibleDescription(m_messagePane->text());
    bar->addWidget(m_messagePane, 1);
    const char* lockNames[3] = {"capsLockPane", "numLockPane", "scrollLockPane"};
    const QString lockWords[3] = {tr("Caps Lock"), tr("Num Lock"), tr("Scroll Lock")};
    for (int i = 0; i < 3; ++i) {
        m_lockPanes[i] = new QLabel(bar);
        SetRole(m_lockPanes[i], QLatin1String(lockNames[i]), lockWords[i]);
        bar->addPermanentWidget(m_lockPanes[i]);
    }
    m_portPane = new QLabel(bar);
    SetRole(m_portPane, QStringLiteral("portPane"), tr("Port"));
    m_datePane = new QLabel(bar);
    SetRole(m_datePane, QStringLiteral("datePane"), tr("Date"));
    m_timePane = new QLabel(bar);
    SetRole(m_timePane, QStringLiteral("timePane"), tr("Time"));
    for (QLabel* pane : {m_portPane, m_datePane, m_timePane})
        bar->addPermanentWidget(pane);

    m_clockTick = new QTimer(this);
    m_clockTick->setInterval(kClockTickMs);
    connect(m_clockTick, &QTimer::timeout, this, [this] {
        UpdateStatusPanes();
        UpdateLockPanes();
    });
    m_clockTick->start();
    UpdateStatusPanes();
    UpdateLockPanes();
}

void CMainFrame::UpdateStatusPanes(const QDateTime& now) {
    const std::pair<QLabel*, QString> panes[3] = {
        {m_portPane, PortPaneText(m_app.GetSettings().m_nPort)},
        {m_datePane, DatePaneText(now)},
        {m_timePane, TimePaneText(now)},
    };
    for (const auto& [pane, text] : panes) {
        // Each pane is as wide as its text, trailing blanks included.
        pane->setText(text);
        pane->setAccessibleDescription(text);
        pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + 2 * pane->margin() + 4);
        pane->setEnabled(true);
    }
}

void CMainFrame::SetListening(bool listening) {
    if (m_bDestroying)
        return;
    // Short enough for the pane of a small window.
    m_messagePane->setText(listening ? tr("Ready")
                                     : tr("Not receiving notes: File > New listens again."));
    m_messagePane->setAccessibleDescription(m_messagePane->text());
}

QString CMainFrame::IdleMessage() const {
    return m_messagePane->text();
}

void CMainFrame::UpdateLockPanes() {
    const std::pair<LockKeys::Key, const char*> keys[3] = {{LockKeys::Key::CapsLock, "CAP"},
                                                           {LockKeys::Key::NumLock, "NUM"},
                                                           {LockKeys::Key::ScrollLock, "SCRL"}};
    for (int i = 0; i < 3; ++i) {
        const std::optional<bool> on = LockKeys::IsOn(keys[i].first);
        m_lockPanes[i]->setVisible(on.has_value());
        const QString text = QLatin1String(keys[i].second);
        m_lockPanes[i]->setFixedWidth(m_lockPanes[i]->fontMetrics().horizontalAdvance(text) + 6);
        m_lockPanes[i]->setText(on.value_or(false) ? text : QString());
        m_lockPanes[i]->setAccessibleDescription(m_lockPanes[i]->text());
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock)
            QTimer::singleShot(50, this, &CMainFrame::UpdateLockPanes);
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::CreateTrayIcon() {
    m_trayIcon = new CTrayIcon(this);
    auto* menu = new QMenu(this);
    SetRole(menu, QStringLiteral("trayMenu"), tr("Quillpad menu"));
    for (const int id : TrayMenu()) {
        if (id == Cmd::kSeparator)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    m_trayIcon->SetMenu(menu);
    connect(m_trayIcon, &CTrayIcon::commandRequested, this,
            [this](int id) { m_commands.Execute(id); });
    m_trayIcon->SetIcon(Resources::ProgramIcon(), QString::fromLatin1(IApplication::kAppTitle));
}

void CMainFrame::PlaceAtStart() {
    QRect rect;
    WindowPlacementStore placements(m_app.Store());
    if (placements.ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                            QString::fromLatin1(kPlacementName), rect) &&
        ScreenRules::LiesOn(rect, WindowPlacementStore::ScreenRects())) {
        setGeometry(rect);
    }
}

void CMainFrame::UpdateCommandUi() {
    if (m_bDestroying)
        return;
    const bool documentOpen = !m_mdiArea->subWindowList().isEmpty();
    if (documentOpen != m_bDocumentMenu) {
        menuBar()->clear();
        for (QMenu* menu : m_menus[documentOpen ? 1 : 0])
            menuBar()->addMenu(menu);
        m_bDocumentMenu = documentOpen;
    }
    for (const auto& [id, action] : m_actions)
        action->setEnabled(m_commands.IsEnabled(id));
    Action(Cmd::ViewToolbar)->setChecked(m_toolBar && !m_toolBar->isHidden());
    Action(Cmd::ViewStatusBar)->setChecked(!statusBar()->isHidden());
}

void CMainFrame::SetRecentFiles(const QStringList& paths) {
    for (QAction* action : std::as_const(m_recentActions))
        delete action;
    m_recentActions.clear();
    QAction* placeholder = Action(Cmd::FileMruFirst);
    for (int i = 0; i < paths.size(); ++i) {
        auto* action = new QAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(paths[i])), this);
        action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        action->setStatusTip(placeholder->statusTip());
        connect(action, &QAction::triggered, this, [this, i] { Q_EMIT recentFileChosen(i); });
        m_recentActions.append(action);
    }
    // The entries stand where the placeholder "Recent File" stands, which shows only while the
    // list is empty.
    for (const QList<QMenu*>& menus : m_menus) {
        QMenu* file = menus.first();
        file->insertActions(placeholder, m_recentActions);
    }
    placeholder->setVisible(paths.isEmpty());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        Q_EMIT filesDropped(paths);
    }
}

void CMainFrame::RequestExit() {
    if (m_exitGuard && !m_exitGuard())
        return;
    Exit();
}

void CMainFrame::Exit() {
    m_bExit = true;
    close();
}

void CMainFrame::Restore() {
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::ShowAtStart() {
    if (LivesInTray())
        return;
    setAttribute(Qt::WA_ShowWithoutActivating);
    showMinimized();
}

bool CMainFrame::LivesInTray() const {
    return m_trayIcon && m_trayIcon->IsShown();
}

void CMainFrame::ApplyAlwaysOnTop() {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, m_app.GetSettings().m_bAlwaysOnTop != 0);
    if (flags == windowFlags())
        return;
    // Changing the widget's flags would hide the window; the native window takes the new band
    // as it is, keeping position, size and activation.
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle())
        window->setFlags(flags);
}

void CMainFrame::NotifyNewMessage() {
    m_reminder->NotifyNewMessage();
}

void CMainFrame::ShowAboutBox() {
    CAboutDialog about(isVisible() ? this : nullptr);
    about.exec();
}

void CMainFrame::ShowHelp() {
    QMessageBox box(
        QMessageBox::Information, tr("Quillpad Help"),
        tr("<p><b>Sending a note.</b> Choose Message/Send (Ctrl+E), or Send Message in the "
           "notification area. Pick an address book, select names and press To:, write "
           "the note and press Send.</p>"
           "<p><b>Who is listening.</b> Select addresses and press Check: a mark shows "
           "which copies answer, and the answer gives the user's full name.</p>"
           "<p><b>Answering.</b> A received note pops up; press Reply to answer it with "
           "the note quoted.</p>"
           "<p><b>Address books</b> are made, edited and deleted from the Address menu, "
           "and fetched from the site's FTP server with Address/Get.</p>"
           "<p><b>The log</b> of every note sent and received is kept in one file per "
           "month in the data directory.</p>"),
        QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("helpBox"));
    box.setAccessibleName(box.windowTitle());
    ControlNames::NameStandardButtons(&box);
    box.exec();
}

void CMainFrame::ArrangeIcons() {
    int x = 0;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        if (!window->isMinimized())
            continue;
        window->move(x, m_mdiArea->viewport()->height() - window->height());
        x += window->width();
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // In tray mode a minimised window is reached through the notification area only; without
    // an icon there it must stay where the user can find it.
    if (event->type() == QEvent::WindowStateChange && LivesInTray() && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_bExit) {
        // A close that did not come through Exit is the user's: the window's own Close.
        if (m_exitGuard && !m_exitGuard()) {
            event->ignore();
            return;
        }
        if (event->spontaneous())
            m_bExit = true;
    }
    if (!m_bExit)
        hide();
    WindowPlacementStore(m_app.Store())
        .Save(QString::fromLatin1(WindowPlacementStore::kKeyPath),
              QString::fromLatin1(kPlacementName), *this);

    // Each document is asked in turn; one that refuses keeps the program running.
    m_mdiArea->closeAllSubWindows();
    if (!m_mdiArea->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    m_reminderTimer->Stop();
    m_clockTick->stop();
    if (m_trayIcon)
        m_trayIcon->Remove();
    event->accept();
    Q_EMIT frameClosed();
}
