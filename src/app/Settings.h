#pragma once

#include <QMargins>
#include <QString>
#include <functional>

class RegistryStore;

// The sections of the settings store; SaveSettings compares the codes for equality.
enum class SettingsSection : quint32 {
    Communication = 0x01000100,
    Data = 0x01000200,
    Editor = 0x01000300,
    FTP = 0x01000400,
    Profiles = 0x01000500,
    Sound = 0x01000600,
    Windows = 0x01000700,
};

// Every option that survives a restart. The member initialisers are the values the record
// holds before the store is loaded; LoadSettings puts in the defaults of missing sections.
// Numbers and flags are kept as stored: nothing is range-checked here.
struct Settings {
    // Editor: print margins in twips.
    QMargins m_rcMargins{0, 0, 0, 0};
    // Data
    QString m_strDataDirectory;  // ends with '/'
    quint32 m_bSaveLog = 0;
    quint32 m_nSaveLogInterval = 0;  // minutes
    // Communication
    quint32 m_nPort = 0;
    quint32 m_nSocketTimeout = 0;  // seconds
    quint32 m_bBroadcast = 0;
    quint32 m_nBroadcastPort = 0;
    quint32 m_nBroadcastInterval = 0;  // minutes
    // FTP
    QString m_strFtpServer;
    QString m_strFtpUsername;
    QString m_strFtpPassword;  // plain here, scrambled in the store
    QString m_strFtpDirectory;
    quint32 m_bUpdateAddressBook = 0;
    quint32 m_nUpdateInterval = 0;  // hours
    // Profiles
    QString m_strFullName;
    QString m_strLocation;
    QString m_strPhone;
    QString m_strFax;
    QString m_strQuote;
    // Sound
    quint32 m_bNotify = 1;
    quint32 m_nNotifyInterval = 0;  // minutes
    QString m_strWelcomeSound;
    QString m_strMessageSound;
    QString m_strLeaveSound;
    QString m_strErrorSound;
    // Windows
    quint32 m_bAlwaysOnTop = 0;
};

namespace SettingsDefaults {
constexpr int kMargin = 715;
constexpr quint32 kSaveLogInterval = 10;
constexpr quint32 kPort = 6001;
constexpr quint32 kSocketTimeout = 5;
constexpr quint32 kBroadcastPort = 6002;
constexpr quint32 kBroadcastInterval = 15;
constexpr quint32 kUpdateInterval = 4;
constexpr quint32 kNotifyInterval = 5;
inline const char* const kFtpServer = "127.0.0.1";
inline const char* const kFtpUsername = "Quillpad";
inline const char* const kFtpPassword = "TulipGate";
inline const char* const kFtpDirectory = "E:\\FTP\\Quillpad\\";

// $XDG_DATA_HOME/Vexor/Quillpad/Data/ (XDG default ~/.local/share), with its trailing '/'.
QString DataDirectory();
}  // namespace SettingsDefaults

// The key below HKEY_CURRENT_USER that holds the sections, and the full path of one section.
inline constexpr const char* kSettingsRoot = "Software\\Vexor\\Quillpad\\3.0";
QString SectionKeyPath(const char* sectionName);

// The key that scrambles the stored FTP password.
inline constexpr const char* kPasswordKey = "Map_Velvet_Box";

// Reads every section into settings in a fixed order, writing a complete default section
// wherever one is missing, then empties the two recent lists. showNameMessage is called when
// the full name is empty after the Profiles section has been read.
void LoadSettings(Settings& settings, const RegistryStore& store,
                  const std::function<void()>& showNameMessage);

// Reads the settings as they are stored, for a program that only looks (the command-line
// sender): missing sections give their defaults in memory, and nothing is written or created.
void ReadStoredSettings(Settings& settings, const RegistryStore& store);

// Writes one section. False, with nothing written, for an unknown code or a key that does not
// open; the individual writes may still fail silently.
bool SaveSettings(const Settings& settings, const RegistryStore& store, SettingsSection section);

// Creates keyPath with every missing key above it, below HKEY_CURRENT_USER.
bool CreateSettingsKey(const RegistryStore& store, const QString& keyPath);
