#include "app/Settings.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <span>

#include "addressbook/AddressBook.h"
#include "app/AppFunctions.h"
#include "app/CRegistry.h"
#include "app/CStringCoder.h"
#include "platform/AtomicFile.h"
#include "platform/RegistryStore.h"

namespace {

constexpr CRegistry::Root kRoot = CRegistry::HKEY_CURRENT_USER;

// How a value is kept in the store.
enum class ValueKind : quint8 {
    Text,
    Number,
    ScrambledText,  // plain in the record, coded with kPasswordKey in the store
    Margins,        // 16 bytes: left, top, right, bottom, each signed 32-bit little-endian
};

// What a missing section puts into a text; none leaves the text as the record holds it.
using DefaultText = QString (*)();
constexpr DefaultText kKeepText = nullptr;

QString NoText() {
    return {};
}

template <const char* const& kText>
QString Latin1Text() {
    return QString::fromLatin1(kText);
}

// One value of a section: its name in the store, where it lives in the record, and what a
// missing section sets it to.
struct StoredValue {
    const char* m_pszName;
    ValueKind m_kind;
    QString Settings::*m_pText = nullptr;
    quint32 Settings::*m_pNumber = nullptr;
    QMargins Settings::*m_pMargins = nullptr;
    quint32 m_nDefault = 0;  // a number, or each of the four margins
    DefaultText m_pfnDefaultText = kKeepText;
};

constexpr StoredValue Text(const char* name, QString Settings::*text, DefaultText byDefault) {
    return {.m_pszName = name,
            .m_kind = ValueKind::Text,
            .m_pText = text,
            .m_pfnDefaultText = byDefault};
}

constexpr StoredValue ScrambledText(const char* name, QString Settings::*text,
                                    DefaultText byDefault) {
    return {.m_pszName = name,
            .m_kind = ValueKind::ScrambledText,
            .m_pText = text,
            .m_pfnDefaultText = byDefault};
}

constexpr StoredValue Number(const char* name, quint32 Settings::*number, quint32 byDefault) {
    return {.m_pszName = name,
            .m_kind = ValueKind::Number,
            .m_pNumber = number,
            .m_nDefault = byDefault};
}

constexpr StoredValue Margins(const char* name, QMargins Settings::*margins, int eachByDefault) {
    return {.m_pszName = name,
            .m_kind = ValueKind::Margins,
            .m_pMargins = margins,
            .m_nDefault = static_cast<quint32>(eachByDefault)};
}

// The values of each section in the order in which they are read and written.
namespace Values {
using namespace SettingsDefaults;

constexpr StoredValue kEditor[] = {
    Margins("Margins", &Settings::m_rcMargins, kMargin),
};
constexpr StoredValue kData[] = {
    Text("Data Directory", &Settings::m_strDataDirectory, &SettingsDefaults::DataDirectory),
    Number("Save Log", &Settings::m_bSaveLog, 1),
    Number("Save Log Interval", &Settings::m_nSaveLogInterval, kSaveLogInterval),
};
constexpr StoredValue kCommunication[] = {
    Number("Port", &Settings::m_nPort, kPort),
    Number("Socket Timeout", &Settings::m_nSocketTimeout, kSocketTimeout),
    Number("Broadcast", &Settings::m_bBroadcast, 1),
    Number("Broadcast Port", &Settings::m_nBroadcastPort, kBroadcastPort),
    Number("Broadcast Interval", &Settings::m_nBroadcastInterval, kBroadcastInterval),
};
constexpr StoredValue kFtp[] = {
    Text("Server", &Settings::m_strFtpServer, &Latin1Text<kFtpServer>),
    Text("Username", &Settings::m_strFtpUsername, &Latin1Text<kFtpUsername>),
    ScrambledText("Password", &Settings::m_strFtpPassword, &Latin1Text<kFtpPassword>),
    Text("Directory", &Settings::m_strFtpDirectory, &Latin1Text<kFtpDirectory>),
    Number("Update Address Book", &Settings::m_bUpdateAddressBook, 1),
    Number("Update Interval", &Settings::m_nUpdateInterval, kUpdateInterval),
};
// A missing section empties only the name; the rest is written as the record holds it.
constexpr StoredValue kProfiles[] = {
    Text("Full Name", &Settings::m_strFullName, &NoText),
    Text("Location", &Settings::m_strLocation, kKeepText),
    Text("Phone", &Settings::m_strPhone, kKeepText),
    Text("Fax", &Settings::m_strFax, kKeepText),
    Text("Quote", &Settings::m_strQuote, kKeepText),
};
constexpr StoredValue kSound[] = {
    Number("Notify", &Settings::m_bNotify, 1),
    Number("Notify Interval", &Settings::m_nNotifyInterval, kNotifyInterval),
    Text("Welcome", &Settings::m_strWelcomeSound, &NoText),
    Text("Message", &Settings::m_strMessageSound, &NoText),
    Text("Leave", &Settings::m_strLeaveSound, &NoText),
    Text("Error", &Settings::m_strErrorSound, &NoText),
};
// Only the flag: the window placements beside it belong to WindowPlacementStore.
constexpr StoredValue kWindows[] = {
    Number("Always On Top", &Settings::m_bAlwaysOnTop, 1),
};
}  // namespace Values

struct Section {
    SettingsSection m_code;
    const char* m_pszName;  // the sub-key below kSettingsRoot
    std::span<const StoredValue> m_values;
};

constexpr Section kEditor{SettingsSection::Editor, "Editor", Values::kEditor};
constexpr Section kData{SettingsSection::Data, "Data", Values::kData};
constexpr Section kCommunication{SettingsSection::Communication, "Communication",
                                 Values::kCommunication};
constexpr Section kFtp{SettingsSection::FTP, "FTP", Values::kFtp};
constexpr Section kProfiles{SettingsSection::Profiles, "Profiles", Values::kProfiles};
constexpr Section kSound{SettingsSection::Sound, "Sound", Values::kSound};
constexpr Section kWindows{SettingsSection::Windows, "Windows", Values::kWindows};

const Section* FindSection(SettingsSection code) {
    for (const Section* section :
         {&kCommunication, &kData, &kEditor, &kFtp, &kProfiles, &kSound, &kWindows}) {
        if (section->m_code == code)
            return section;
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

// A value that cannot be read leaves the setting as it was.
void ReadValue(CRegistry& reg, const StoredValue& value, Settings& s) {
    const QString name = QString::fromLatin1(value.m_pszName);
    switch (value.m_kind) {
        case ValueKind::Text: {
            QByteArray bytes;
            if (reg.ReadString(name, bytes))
                s.*value.m_pText = QString::fromLocal8Bit(bytes);
            return;
        }
        case ValueKind::Number:
            reg.ReadNumber(name, s.*value.m_pNumber);
            return;
        case ValueKind::ScrambledText: {
            // The text as it now stands (the stored one, or the previous one if the read failed)
            // is unscrambled.
            QByteArray text = (s.*value.m_pText).toLocal8Bit();
            reg.ReadString(name, text);
            CStringCoder coder(kPasswordKey);
            s.*value.m_pText = QString::fromLocal8Bit(coder.Decode(text.data()));
            return;
        }
        case ValueKind::Margins: {
            // A shorter value fills only the leading margins.
            QByteArray buffer = MarginBytes(s.*value.m_pMargins);
            quint32 size = 16;
            if (reg.ReadBinary(name, buffer.data(), size))
                s.*value.m_pMargins = MarginsFromBytes(buffer);
            return;
        }
    }
}

// The individual writes may fail; the values after a failed one are still written.
void WriteValue(CRegistry& reg, const StoredValue& value, const Settings& s) {
    const QString name = QString::fromLatin1(value.m_pszName);
    switch (value.m_kind) {
        case ValueKind::Text:
            reg.WriteString(name, (s.*value.m_pText).toLocal8Bit());
            return;
        case ValueKind::Number:
            reg.WriteNumber(name, s.*value.m_pNumber);
            return;
        case ValueKind::ScrambledText: {
            QByteArray text = (s.*value.m_pText).toLocal8Bit();
            CStringCoder coder(kPasswordKey);
            reg.WriteString(name, coder.Encode(text.data()));
            return;
        }
        case ValueKind::Margins: {
            const QByteArray margins = MarginBytes(s.*value.m_pMargins);
            reg.WriteBinary(name, margins.constData(), 16);
            return;
        }
    }
}

void SetDefault(const StoredValue& value, Settings& s) {
    switch (value.m_kind) {
        case ValueKind::Text:
        case ValueKind::ScrambledText:
            if (value.m_pfnDefaultText)
                s.*value.m_pText = value.m_pfnDefaultText();
            return;
        case ValueKind::Number:
            s.*value.m_pNumber = value.m_nDefault;
            return;
        case ValueKind::Margins: {
            const int each = static_cast<int>(value.m_nDefault);
            s.*value.m_pMargins = QMargins(each, each, each, each);
            return;
        }
    }
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

// Reads the section's values in their order or, for a missing section, sets its defaults and
// (for the program) writes the whole section.
void LoadSection(Settings& s, CRegistry& reg, const RegistryStore& store, const Section& section,
                 LoadMode mode) {
    if (OpenSection(reg, store, section.m_pszName, mode)) {
        for (const StoredValue& value : section.m_values)
            ReadValue(reg, value, s);
    } else {
        for (const StoredValue& value : section.m_values)
            SetDefault(value, s);
        if (mode == LoadMode::Program)
            SaveSettings(s, store, section.m_code);
    }
    reg.Close();
}

void Load(Settings& s, const RegistryStore& store, const std::function<void()>& showNameMessage,
          LoadMode mode) {
    CRegistry reg(store);
    LoadSection(s, reg, store, kEditor, mode);

    s.m_strDataDirectory.clear();
    LoadSection(s, reg, store, kData, mode);
    // Without a data directory the lists and logs would land wherever the program was started.
    if (s.m_strDataDirectory.isEmpty())
        s.m_strDataDirectory = SettingsDefaults::DataDirectory();
    if (mode == LoadMode::Program)
        CreateDirectoryChain(s.m_strDataDirectory);

    LoadSection(s, reg, store, kCommunication, mode);
    LoadSection(s, reg, store, kFtp, mode);
    LoadSection(s, reg, store, kProfiles, mode);
    if (s.m_strFullName.isEmpty() && showNameMessage && mode == LoadMode::Program)
        showNameMessage();
    LoadSection(s, reg, store, kSound, mode);
    LoadSection(s, reg, store, kWindows, mode);

    if (mode == LoadMode::Program) {
        ResetRecentLists(s.m_strDataDirectory);
        // A log of an earlier month or a book may not be written again for a long time.
        AtomicFile::RemoveLeftTemps(s.m_strDataDirectory,
                                    {QStringLiteral(".qpd"), QStringLiteral(".add"),
                                     QStringLiteral(".orig"), QStringLiteral(".bad")});
        AtomicFile::RemoveLeftTemps(QFileInfo(store.FilePath()).absolutePath(),
                                    {QStringLiteral(".reg"), QStringLiteral(".bad")});
    }
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

void LoadSettings(Settings& settings, const RegistryStore& store,
                  const std::function<void()>& showNameMessage) {
    Load(settings, store, showNameMessage, LoadMode::Program);
}

void ReadStoredSettings(Settings& settings, const RegistryStore& store) {
    Load(settings, store, {}, LoadMode::LookOnly);
}

bool SaveSettings(const Settings& s, const RegistryStore& store, SettingsSection code) {
    const Section* section = FindSection(code);
    CRegistry reg(store);
    if (!section || !reg.Open(kRoot, SectionKeyPath(section->m_pszName)))
        return false;
    for (const StoredValue& value : section->m_values)
        WriteValue(reg, value, s);
    reg.Close();
    return true;
}
