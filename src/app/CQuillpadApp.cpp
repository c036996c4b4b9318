#include "app/CQuillpadApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

#include "addressbook/CAddressBookDlg.h"
#include "addressbook/CDeleteAddressBookDlg.h"
#include "addressbook/CNewAddressBookDlg.h"
#include "app/AppFunctions.h"
#include "app/AutoStart.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "platform/SignalWatcher.h"
#include "platform/SingleInstance.h"
#include "platform/XdgAutostart.h"
#include "shell/CMainFrame.h"
#include "shell/COptionSheet.h"
#include "shell/LogSaver.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"
#include "shell/SoundPlayer.h"
#include "shell/SoundSpec.h"

namespace {

// How long a second start waits for the first copy's answer before it leaves anyway.
constexpr int kComeForwardTimeoutMs = 700;
// Modal dialogs closed at most when the program is told to end (they nest only a few deep).
constexpr int kMaxModalDialogs = 16;

}  // namespace

CQuillpadApp::CQuillpadApp(const QString& storeFilePath, ISoundPlayer& soundPlayer,
                           std::optional<bool> trayMode, QObject* parent)
    : QObject(parent),
      m_store(storeFilePath),
      m_soundPlayer(soundPlayer),
      m_bTrayMode(trayMode.value_or(QSystemTrayIcon::isSystemTrayAvailable())),
      m_strComputerName(ComputerName()) {
    m_signals = new SignalWatcher(this);
    connect(m_signals, &SignalWatcher::terminationRequested, this,
            &CQuillpadApp::OnTerminationRequested);
}

CQuillpadApp::~CQuillpadApp() {
    delete m_optionSheet;
    delete m_addressBookDlg.data();
    delete m_deleteAddressBookDlg.data();
    delete m_newAddressBookDlg.data();
    delete m_mainFrame;
}

CMainFrame* CQuillpadApp::MainFrame() const {
    return m_mainFrame;
}

bool CQuillpadApp::InitInstance(const QStringList& arguments) {
    m_bStarting = true;
    // Started by the entry made when the last session ended: it has done its work.
    if (arguments.contains(QLatin1String(XdgAutostart::kStartedArgument)))
        AutoStart::Unregister(QString::fromLatin1(kAppTitle), m_store);
    m_instance = new SingleInstance(QFileInfo(m_store.FilePath()).absolutePath(), this);
    if (m_instance->Claim() == SingleInstance::Role::Secondary) {
        HandToRunningCopy(arguments);
        m_bStarting = false;
        return true;
    }
    AnswerLaterStarts();

    LoadSettings();
    CreateMainFrame();
    if (!OpenFirstDocument(arguments)) {
        m_bStarting = false;
        return false;
    }

    m_mainFrame->ShowAtStart();

    PlayNotificationSound(WelcomeSound(m_settings));
    m_bStarting = false;
    if (m_bQuitRequested)
        QTimer::singleShot(0, m_mainFrame, &CMainFrame::Exit);
    return true;
}

void CQuillpadApp::HandToRunningCopy(const QStringList& arguments) {
    // A log opened from the file manager while a copy runs opens in that copy.
    QStringList files;
    for (const QString& argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')))
            files.append(QFileInfo(argument).absoluteFilePath());
    }
    m_instance->RequestComeForward(kComeForwardTimeoutMs, files);
}

void CQuillpadApp::AnswerLaterStarts() {
    connect(m_instance, &SingleInstance::comeForwardRequested, this,
            &CQuillpadApp::BringMainWindowForward);
    connect(m_instance, &SingleInstance::openRequested, this, [this](const QStringList& files) {
        if (!m_workspace)
            return;
        for (const QString& file : files)
            m_workspace->OpenDocument(file);
        // The window is where the log is: it comes forward even out of the tray.
        if (m_mainFrame && m_mainFrame->isHidden())
            m_mainFrame->Restore();
    });
}

void CQuillpadApp::CreateMainFrame() {
    m_mainFrame = new CMainFrame(*this);
    // The frame has closed in order already: the loop ends without asking other windows
    // (quit() would try to close every window first and give up if one refused).
    connect(
        m_mainFrame, &CMainFrame::frameClosed, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    m_mainFrame->Commands().SetHandler(Cmd::Preferences, [this] { OnPreferences(); });
    m_mainFrame->SetExitGuard([this] { return MayEndWithUnsentNotes(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, &CQuillpadApp::OnCommitDataRequest);
    m_mainFrame->Commands().SetHandler(Cmd::AddressEdit, [this] { OnAddressEdit(); });
    m_mainFrame->Commands().SetHandler(Cmd::AddressDelete, [this] { OnAddressDelete(); });
    m_mainFrame->Commands().SetHandler(Cmd::AddressNew, [this] { OnAddressNew(); });
}

// The first document: the one named on the command line, or the month's log.
bool CQuillpadApp::OpenFirstDocument(const QStringList& arguments) {
    auto services = std::make_unique<MessageServices>(*this);
    connect(services.get(), &MessageServices::newMessage, m_mainFrame,
            &CMainFrame::NotifyNewMessage);
    m_workspace = std::make_unique<LogWorkspace>(*this, *m_mainFrame, *services);
    services->Attach(m_mainFrame, m_workspace.get());
    m_services = std::move(services);
    return m_workspace->OpenAtStart(arguments);
}

void CQuillpadApp::ExitInstance() {
    if (!m_bSettingsLoaded)
        return;  // stored settings are never replaced by values that were not loaded
    PlayNotificationSound(LeaveSound(m_settings));
    m_soundPlayer.WaitForEnd();  // a wave file plays on its own: let it end before the program
    // The address-book dialogs go first (each keeps its place), the editor first.
    delete m_addressBookDlg.data();
    delete m_deleteAddressBookDlg.data();
    delete m_newAddressBookDlg.data();
    // The message windows still open go with the program (a run of theirs is stopped).
    CMessageWindow::DestroyAll();
    SaveSettings(SettingsSection::Editor);
    SaveSettings(SettingsSection::Windows);
    if (m_workspace)
        m_workspace->SaveRecentFiles();
}

void CQuillpadApp::LoadSettings() {
    ::LoadSettings(m_settings, m_store, [] {
        MessageBox::Information(nullptr, tr("Please select File/Preferences to enter your name."));
    });
    m_bSettingsLoaded = true;
}

bool CQuillpadApp::SaveSettings(SettingsSection section) const {
    return ::SaveSettings(m_settings, m_store, section);
}

bool CQuillpadApp::CreateSettingsKey(const QString& keyPath) const {
    return ::CreateSettingsKey(m_store, keyPath);
}

void CQuillpadApp::SetPrintMargins(int left, int top, int right, int bottom) {
    m_settings.m_rcMargins = QMargins(left, top, right, bottom);
    if (m_workspace)
        m_workspace->ApplyPrintMargins(m_settings.m_rcMargins);
    SaveSettings(SettingsSection::Editor);
}

void CQuillpadApp::PlayNotificationSound(const SoundSpec& sound) const {
    ::PlayNotificationSound(sound, m_soundPlayer);
}

void CQuillpadApp::OnPreferences() {
    // A sheet that was answered goes at the next turn of the loop; until then it is hidden.
    if (m_optionSheet && m_optionSheet->isVisible()) {
        m_optionSheet->raise();
        m_optionSheet->activateWindow();
        return;
    }
    QWidget* parent = m_mainFrame && m_mainFrame->isVisible() ? m_mainFrame.data() : nullptr;
    auto* sheet = new COptionSheet(
        m_settings, [this](const SoundSpec& sound) { PlayNotificationSound(sound); }, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::ApplicationModal);
    connect(sheet, &QDialog::accepted, this, [this, sheet] { ApplyPreferences(*sheet); });
    m_optionSheet = sheet;
    sheet->show();
}

COptionSheet* CQuillpadApp::OptionSheet() const {
    return m_optionSheet;
}

namespace {

// At most one dialog of each kind: an open one is shown again as it is, else a new one is made
// (it goes when its window is closed, and the reference with it).
template <typename Dialog>
void ShowBookDialog(QPointer<Dialog>& dialog, const Settings& settings,
                    const RegistryStore& store) {
    if (!dialog) {
        dialog = new Dialog(settings, store);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog->showNormal();
    dialog->raise();
    dialog->activateWindow();
}

}  // namespace

void CQuillpadApp::OnAddressEdit() {
    ShowBookDialog(m_addressBookDlg, m_settings, m_store);
}

void CQuillpadApp::OnAddressDelete() {
    ShowBookDialog(m_deleteAddressBookDlg, m_settings, m_store);
}

void CQuillpadApp::OnAddressNew() {
    ShowBookDialog(m_newAddressBookDlg, m_settings, m_store);
}

CAddressBookDlg* CQuillpadApp::AddressBookDialog() const {
    return m_addressBookDlg;
}

CDeleteAddressBookDlg* CQuillpadApp::DeleteAddressBookDialog() const {
    return m_deleteAddressBookDlg;
}

CNewAddressBookDlg* CQuillpadApp::NewAddressBookDialog() const {
    return m_newAddressBookDlg;
}

void CQuillpadApp::ApplyPreferences(const COptionSheet& sheet) {
    sheet.CopyInto(m_settings);
    CreateDirectoryChain(m_settings.m_strDataDirectory);
    for (const SettingsSection section :
         {SettingsSection::Profiles, SettingsSection::Data, SettingsSection::Windows,
          SettingsSection::Communication, SettingsSection::FTP, SettingsSection::Sound})
        SaveSettings(section);
    if (m_mainFrame) {
        m_mainFrame->ApplyAlwaysOnTop();
        // The port pane and Address/Get follow the new values now, not at the next tick.
        m_mainFrame->UpdateStatusPanes();
        m_mainFrame->UpdateCommandUi();
    }
}

QString CQuillpadApp::GetLogFilePath() const {
    return ::GetLogFilePath(m_settings.m_strDataDirectory);
}

bool CQuillpadApp::QueryEndSession() {
    if (m_workspace) {
        for (CQuillpadDoc* doc : m_workspace->Documents()) {
            if (!m_workspace->Saver().CanClose(*doc))
                return false;
        }
    }
    // Whether or not it could be entered, the session may end.
    AutoStart(QString::fromLatin1(kAppTitle), m_store).Register();
    return true;
}

void CQuillpadApp::OnCommitDataRequest(QSessionManager& manager) {
    if (!QueryEndSession())
        manager.cancel();
}

bool CQuillpadApp::MayEndWithUnsentNotes() const {
    const int unsent = CMessageWindow::UnsentNoteCount();
    if (unsent == 0)
        return true;
    const QString text =
        unsent == 1
            ? tr("A note you are writing has not been sent. Exit and discard it?")
            : tr("%1 notes you are writing have not been sent. Exit and discard them?").arg(unsent);
    QWidget* parent = m_mainFrame && m_mainFrame->isVisible() ? m_mainFrame.data() : nullptr;
    return MessageBox::Question(parent, text, QMessageBox::No);
}

void CQuillpadApp::BringMainWindowForward() {
    if (!m_mainFrame || (m_mainFrame->isHidden() && m_mainFrame->LivesInTray()))
        return;  // a window hidden behind its tray icon stays hidden
    if (m_mainFrame->isMinimized() || m_mainFrame->isHidden())
        m_mainFrame->showNormal();
    m_mainFrame->raise();
    m_mainFrame->activateWindow();
    if (QWidget* popup = QApplication::activeModalWidget()) {
        popup->raise();
        popup->activateWindow();
    }
}

void CQuillpadApp::OnTerminationRequested() {
    // Ends the same orderly way as File Exit. Open modal dialogs are closed first, and the
    // frame is closed once their loops have returned.
    for (int i = 0; i < kMaxModalDialogs; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        modal->close();
    }
    if (m_bStarting || !m_mainFrame) {
        m_bQuitRequested = true;
        return;
    }
    QTimer::singleShot(0, m_mainFrame, &CMainFrame::Exit);
}
