#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/Settings.h"
#include "platform/RegistryStore.h"
#include "shell/IApplication.h"

class CAddressBookDlg;
class CDeleteAddressBookDlg;
class CMainFrame;
class CNewAddressBookDlg;
class COptionSheet;
class LogViewServices;
class LogWorkspace;
class ISoundPlayer;
struct SoundSpec;
class QSessionManager;
class SingleInstance;
class SignalWatcher;

// The one application object: the settings record, the run-time values that several parts
// read, and start-up and shut-down in their fixed order.
class CQuillpadApp : public QObject, public IApplication {
    Q_OBJECT
public:
    // store is the settings store; its directory also scopes the single-instance guard.
    // trayMode is found out from the desktop unless given.
    CQuillpadApp(const QString& storeFilePath, ISoundPlayer& soundPlayer,
                 std::optional<bool> trayMode = std::nullopt, QObject* parent = nullptr);
    ~CQuillpadApp() override;

    // Start-up. False when the program must end at once; true with no main window for a
    // second start, which only brought the first copy forward.
    bool InitInstance(const QStringList& arguments);
    // Shut-down, once the message loop has ended. Saves nothing unless the settings were
    // loaded by this process.
    void ExitInstance();
    bool HasMainWindow() const { return !m_mainFrame.isNull(); }
    // The desktop session is about to end: every document is asked whether it may close (the
    // month's log saves itself); when all may, the program enters itself for one start at the
    // next logon. False (nothing entered) keeps the session going.
    bool QueryEndSession();
    CMainFrame* MainFrame() const;
    LogWorkspace* Workspace() const { return m_workspace.get(); }

    // Settings (the record, its store, and the operations on both).
    Settings& GetSettings() override { return m_settings; }
    const Settings& GetSettings() const override { return m_settings; }
    const RegistryStore& Store() const override { return m_store; }
    void LoadSettings();
    bool SaveSettings(SettingsSection section) const;
    bool CreateSettingsKey(const QString& keyPath) const;
    void SetPrintMargins(int left, int top, int right, int bottom) override;
    bool SettingsLoaded() const { return m_bSettingsLoaded; }

    // The Preferences command: the Options sheet, modal. Confirmed, its values become the
    // settings, are saved, and the main window takes its band at once.
    void OnPreferences();
    COptionSheet* OptionSheet() const;

    // Address/Edit, Address/Delete and Address/New: each shows its dialog, made anew unless
    // one is open already (which is only brought forward, as it is).
    void OnAddressEdit();
    void OnAddressDelete();
    void OnAddressNew();
    CAddressBookDlg* AddressBookDialog() const;
    CDeleteAddressBookDlg* DeleteAddressBookDialog() const;
    CNewAddressBookDlg* NewAddressBookDialog() const;

    QString GetLogFilePath() const override;
    void PlayNotificationSound(const SoundSpec& sound) const override;

    // Run-time values.
    bool IsTrayMode() const override { return m_bTrayMode; }
    const QString& GetComputerName() const override { return m_strComputerName; }

private:
    // A second start: the files named go to the copy that runs, which comes forward.
    void HandToRunningCopy(const QStringList& arguments);
    // The first copy: later starts bring it forward and open their files in it.
    void AnswerLaterStarts();
    void CreateMainFrame();
    bool OpenFirstDocument(const QStringList& arguments);
    void ApplyPreferences(const COptionSheet& sheet);
    // Asked before the user's own Exit: notes being written are not thrown away unasked.
    bool MayEndWithUnsentNotes() const;
    void BringMainWindowForward();
    void OnCommitDataRequest(QSessionManager& manager);
    void OnTerminationRequested();

    RegistryStore m_store;
    ISoundPlayer& m_soundPlayer;
    Settings m_settings;
    bool m_bSettingsLoaded = false;
    bool m_bTrayMode = false;
    QString m_strComputerName;
    bool m_bStarting = false;
    bool m_bQuitRequested = false;
    SingleInstance* m_instance = nullptr;
    SignalWatcher* m_signals = nullptr;
    QPointer<CMainFrame> m_mainFrame;
    QPointer<COptionSheet> m_optionSheet;
    QPointer<CAddressBookDlg> m_addressBookDlg;
    QPointer<CDeleteAddressBookDlg> m_deleteAddressBookDlg;
    QPointer<CNewAddressBookDlg> m_newAddressBookDlg;
    std::unique_ptr<LogViewServices> m_services;
    std::unique_ptr<LogWorkspace> m_workspace;
};
