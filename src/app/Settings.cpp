#include "app/Settings.h"

#include <QStandardPaths>
#include <QtEndian>

#include "addressbook/AddressBook.h"
#include "app/AppFunctions.h"
#include "app/CRegistry.h"
#include "app/CStringCoder.h"

namespace {

constexpr CRegistry::Root kRoot = CRegistry::HKEY_CURRENT_USER;

// A text that cannot be read leaves the setting as it was.
void ReadText(CRegistry& reg, const char* name, QString& setting) {
    QByteArray bytes;
    if (reg.ReadString(QString::fromLatin1(name), bytes))
        setting = QString::fromLocal8Bit(bytes);
}

void ReadNumber(CRegistry& reg, const char* name, quint32& setting) {
    reg.ReadNumber(QString::fromLatin1(name), setting);
}

void WriteText(CRegistry& reg, const char* name, const QString& setting) {
    reg.WriteString(QString::fromLatin1(name), setting.toLocal8Bit());
}

void WriteNumber(CRegistry& reg, const char* name, quint32 setting) {
    reg.WriteNumber(QString::fromLatin1(name), setting);
}

// How a load treats the store: the program writes a default section wherever one is missing;
// a program that only looks changes nothing.
enum class LoadMode { Program, LookOnly };

// Opens a section for reading; a section that does not open counts as missing and, for the
// program, gets its key created for the defaults that follow.
bool OpenSection(CRegistry& reg, const RegistryStore& store, const char* section, LoadMode mode) {
    if (reg.Open(kRoot, SectionKeyPath(section)))
        return true;
    if (mode == LoadMode::Program)
        CreateSettingsKey(store, SectionKeyPath(section));
    return false;
}

void SaveDefaults(const Settings& s, const RegistryStore& store, SettingsSection section,
                  LoadMode mode) {
    if (mode == LoadMode::Program)
        SaveSettings(s, store, section);
}

const char* SectionName(SettingsSection section) {
    switch (section) {
        case SettingsSection::Communication:
            return "Communication";
        case SettingsSection::Data:
            return "Data";
        case SettingsSection::Editor:
            return "Editor";
        case SettingsSection::FTP:
            return "FTP";
        case SettingsSection::Profiles:
            return "Profiles";
        case SettingsSection::Sound:
            return "Sound";
        case SettingsSection::Windows:
            return "Windows";
    }
    return nullptr;
}

QByteArray MarginBytes(const QMargins& margins) {
    QByteArray bytes(16, '\0');
    const qint32 values[4] = {margins.left(), margins.top(), margins.right(), margins.bottom()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(values[i], bytes.data() + 4 * i);
    return bytes;
}

QMargins MarginsFromBytes(const QByteArray& bytes) {
    auto at = [&bytes](int i) { return qFromLittleEndian<qint32>(bytes.constData() + 4 * i); };
    return QMargins(at(0), at(1), at(2), at(3));
}

}  // namespace

QString SettingsDefaults::DataDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vexor/Quillpad/Data/");
}

QString SectionKeyPath(const char* sectionName) {
    return QString::fromLatin1(kSettingsRoot) + QLatin1Char('\\') +
           QString::fromLatin1(sectionName);
}

bool CreateSettingsKey(const RegistryStore& store, const QString& keyPath) {
    CRegistry reg(store);
    const bool ok = reg.OpenAndCreate(kRoot, QString(), keyPath);
    reg.Close();
    return ok;
}

namespace {

void Load(Settings& s, const RegistryStore& store, const std::function<void()>& showNameMessage,
          LoadMode mode) {
    CRegistry reg(store);

    if (OpenSection(reg, store, "Editor", mode)) {
        // A shorter value fills only the leading margins.
        QByteArray buffer = MarginBytes(s.m_rcMargins);
        quint32 size = 16;
        if (reg.ReadBinary(QStringLiteral("Margins"), buffer.data(), size))
            s.m_rcMargins = MarginsFromBytes(buffer);
    } else {
        using SettingsDefaults::kMargin;
        s.m_rcMargins = QMargins(kMargin, kMargin, kMargin, kMargin);
        SaveDefaults(s, store, SettingsSection::Editor, mode);
    }
    reg.Close();

    s.m_strDataDirectory.clear();
    if (OpenSection(reg, store, "Data", mode)) {
        ReadText(reg, "Data Directory", s.m_strDataDirectory);
        ReadNumber(reg, "Save Log", s.m_bSaveLog);
        ReadNumber(reg, "Save Log Interval", s.m_nSaveLogInterval);
    } else {
        s.m_strDataDirectory = SettingsDefaults::DataDirectory();
        s.m_bSaveLog = 1;
        s.m_nSaveLogInterval = SettingsDefaults::kSaveLogInterval;
        SaveDefaults(s, store, SettingsSection::Data, mode);
    }
    reg.Close();
    // Without a data directory the lists and logs would land wherever the program was started.
    if (s.m_strDataDirectory.isEmpty())
        s.m_strDataDirectory = SettingsDefaults::DataDirectory();
    if (mode == LoadMode::Program)
        CreateDirectoryChain(s.m_strDataDirectory);

    if (OpenSection(reg, store, "Communication", mode)) {
        ReadNumber(reg, "Port", s.m_nPort);
        ReadNumber(reg, "Socket Timeout", s.m_nSocketTimeout);
        ReadNumber(reg, "Broadcast", s.m_bBroadcast);
        ReadNumber(reg, "Broadcast Port", s.m_nBroadcastPort);
        ReadNumber(reg, "Broadcast Interval", s.m_nBroadcastInterval);
    } else {
        s.m_nPort = SettingsDefaults::kPort;
        s.m_nSocketTimeout = SettingsDefaults::kSocketTimeout;
        s.m_bBroadcast = 1;
        s.m_nBroadcastPort = SettingsDefaults::kBroadcastPort;
        s.m_nBroadcastInterval = SettingsDefaults::kBroadcastInterval;
        SaveDefaults(s, store, SettingsSection::Communication, mode);
    }
    reg.Close();

    if (OpenSection(reg, store, "FTP", mode)) {
        ReadText(reg, "Server", s.m_strFtpServer);
        ReadText(reg, "Username", s.m_strFtpUsername);
        // The text as it now stands (the stored one, or the previous one if the read failed)
        // is unscrambled.
        QByteArray password = s.m_strFtpPassword.toLocal8Bit();
        reg.ReadString(QStringLiteral("Password"), password);
        CStringCoder coder(kPasswordKey);
        s.m_strFtpPassword = QString::fromLocal8Bit(coder.Decode(password.data()));
        ReadText(reg, "Directory", s.m_strFtpDirectory);
        ReadNumber(reg, "Update Address Book", s.m_bUpdateAddressBook);
        ReadNumber(reg, "Update Interval", s.m_nUpdateInterval);
    } else {
        s.m_strFtpServer = QString::fromLatin1(SettingsDefaults::kFtpServer);
        s.m_strFtpUsername = QString::fromLatin1(SettingsDefaults::kFtpUsername);
        s.m_strFtpPassword = QString::fromLatin1(SettingsDefaults::kFtpPassword);
        s.m_strFtpDirectory = QString::fromLatin1(SettingsDefaults::kFtpDirectory);
        s.m_bUpdateAddressBook = 1;
        s.m_nUpdateInterval = SettingsDefaults::kUpdateInterval;
        SaveDefaults(s, store, SettingsSection::FTP, mode);
    }
    reg.Close();

    if (OpenSection(reg, store, "Profiles", mode)) {
        ReadText(reg, "Full Name", s.m_strFullName);
        ReadText(reg, "Location", s.m_strLocation);
        ReadText(reg, "Phone", s.m_strPhone);
        ReadText(reg, "Fax", s.m_strFax);
        ReadText(reg, "Quote", s.m_strQuote);
    } else {
        s.m_strFullName.clear();
        SaveDefaults(s, store, SettingsSection::Profiles, mode);
    }
    reg.Close();

    if (s.m_strFullName.isEmpty() && showNameMessage && mode == LoadMode::Program)
        showNameMessage();

    if (OpenSection(reg, store, "Sound", mode)) {
        ReadNumber(reg, "Notify", s.m_bNotify);
        ReadNumber(reg, "Notify Interval", s.m_nNotifyInterval);
        ReadText(reg, "Welcome", s.m_strWelcomeSound);
        ReadText(reg, "Message", s.m_strMessageSound);
        ReadText(reg, "Leave", s.m_strLeaveSound);
        ReadText(reg, "Error", s.m_strErrorSound);
    } else {
        s.m_bNotify = 1;
        s.m_nNotifyInterval = SettingsDefaults::kNotifyInterval;
        s.m_strWelcomeSound.clear();
        s.m_strMessageSound.clear();
        s.m_strLeaveSound.clear();
        s.m_strErrorSound.clear();
        SaveDefaults(s, store, SettingsSection::Sound, mode);
    }
    reg.Close();

    if (OpenSection(reg, store, "Windows", mode)) {
        ReadNumber(reg, "Always On Top", s.m_bAlwaysOnTop);
    } else {
        s.m_bAlwaysOnTop = 1;
        SaveDefaults(s, store, SettingsSection::Windows, mode);
    }
    reg.Close();

    if (mode == LoadMode::Program)
        ResetRecentLists(s.m_strDataDirectory);
}

}  // namespace

void LoadSettings(Settings& settings, const RegistryStore& store,
                  const std::function<void()>& showNameMessage) {
    Load(settings, store, showNameMessage, LoadMode::Program);
}

void ReadStoredSettings(Settings& settings, const RegistryStore& store) {
    Load(settings, store, {}, LoadMode::LookOnly);
}

bool SaveSettings(const Settings& s, const RegistryStore& store, SettingsSection section) {
    const char* name = SectionName(section);
    CRegistry reg(store);
    if (!name || !reg.Open(kRoot, SectionKeyPath(name)))
        return false;

    switch (section) {
        case SettingsSection::Communication:
            WriteNumber(reg, "Port", s.m_nPort);
            WriteNumber(reg, "Socket Timeout", s.m_nSocketTimeout);
            WriteNumber(reg, "Broadcast", s.m_bBroadcast);
            WriteNumber(reg, "Broadcast Port", s.m_nBroadcastPort);
            WriteNumber(reg, "Broadcast Interval", s.m_nBroadcastInterval);
            break;
        case SettingsSection::Data:
            WriteText(reg, "Data Directory", s.m_strDataDirectory);
            WriteNumber(reg, "Save Log", s.m_bSaveLog);
            WriteNumber(reg, "Save Log Interval", s.m_nSaveLogInterval);
            break;
        case SettingsSection::Editor: {
            const QByteArray margins = MarginBytes(s.m_rcMargins);
            reg.WriteBinary(QStringLiteral("Margins"), margins.constData(), 16);
            break;
        }
        case SettingsSection::FTP: {
            WriteText(reg, "Server", s.m_strFtpServer);
            WriteText(reg, "Username", s.m_strFtpUsername);
            QByteArray password = s.m_strFtpPassword.toLocal8Bit();
            CStringCoder coder(kPasswordKey);
            reg.WriteString(QStringLiteral("Password"), coder.Encode(password.data()));
            WriteText(reg, "Directory", s.m_strFtpDirectory);
            WriteNumber(reg, "Update Address Book", s.m_bUpdateAddressBook);
            WriteNumber(reg, "Update Interval", s.m_nUpdateInterval);
            break;
        }
        case SettingsSection::Profiles:
            WriteText(reg, "Full Name", s.m_strFullName);
            WriteText(reg, "Location", s.m_strLocation);
            WriteText(reg, "Phone", s.m_strPhone);
            WriteText(reg, "Fax", s.m_strFax);
            WriteText(reg, "Quote", s.m_strQuote);
            break;
        case SettingsSection::Sound:
            WriteNumber(reg, "Notify", s.m_bNotify);
            WriteNumber(reg, "Notify Interval", s.m_nNotifyInterval);
            WriteText(reg, "Welcome", s.m_strWelcomeSound);
            WriteText(reg, "Message", s.m_strMessageSound);
            WriteText(reg, "Leave", s.m_strLeaveSound);
            WriteText(reg, "Error", s.m_strErrorSound);
            break;
        case SettingsSection::Windows:
            WriteNumber(reg, "Always On Top", s.m_bAlwaysOnTop);
            break;
    }
    reg.Close();
    return true;
}
