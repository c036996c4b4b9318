#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

namespace {

enum class ReadOutcome { Missing, Read, Failed };

constexpr int kRememberedFiles = 4;

ReadOutcome ReadFile(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.exists())
        return ReadOutcome::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return ReadOutcome::Failed;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? ReadOutcome::Read : ReadOutcome::Failed;
}

// The settings are read far more often than they change (every window reads its placement as
// it opens and closes), and parsing them is what costs: a file read again unchanged is not
// parsed again. Compared by content, so a change by anyone, at any time, is always seen.
RegistryDocument ParseRemembered(const QString& path, const QByteArray& bytes,
                                 QStringList* errors) {
    struct Parsed {
        QByteArray m_bytes;
        RegistryDocument m_doc;
        QStringList m_errors;
    };
    static QMutex mutex;
    static QHash<QString, Parsed> remembered;
    QMutexLocker lock(&mutex);
    const auto known = remembered.constFind(path);
    if (known != remembered.cend() && known->m_bytes == bytes) {
        if (errors)
            *errors = known->m_errors;
        return known->m_doc;
    }
    Parsed parsed{bytes, {}, {}};
    parsed.m_doc = RegistryDocument::Parse(bytes, &parsed.m_errors);
    if (errors)
        *errors = parsed.m_errors;
    if (remembered.size() >= kRememberedFiles)
        remembered.clear();
    remembered.insert(path, parsed);
    return parsed.m_doc;
}

}  // namespace

namespace RegistryStatus {

QString Text(qint32 status) {
    switch (status) {
        case kSuccess:
            return QCoreApplication::translate("CRegistry",
                                               "The operation completed successfully.");
        case kNotFound:
            return QCoreApplication::translate("CRegistry",
                                               "The system cannot find the file specified.");
        case kAccessDenied:
            return QCoreApplication::translate("CRegistry", "Access is denied.");
        case kInvalidHandle:
            return QCoreApplication::translate("CRegistry", "The handle is invalid.");
        case kWriteFault:
            return QCoreApplication::translate("CRegistry",
                                               "The system cannot write to the specified device.");
        case kLockViolation:
            return QCoreApplication::translate("CRegistry",
                                               "The process cannot access the file because another "
                                               "process has locked a portion of the file.");
        case kMoreData:
            return QCoreApplication::translate("CRegistry", "More data is available.");
        default:
            return QCoreApplication::translate("CRegistry", "Unknown error %1.").arg(status);
    }
}

}  // namespace RegistryStatus

RegistryStore::RegistryStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString RegistryStore::DefaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vexor/Quillpad/registry.reg");
}

qint32 RegistryStore::Read(RegistryDocument& doc) const {
    QByteArray bytes;
    switch (ReadFile(m_filePath, bytes)) {
        case ReadOutcome::Missing:
            doc = RegistryDocument();
            return RegistryStatus::kSuccess;
        case ReadOutcome::Read:
            doc = ParseRemembered(m_filePath, bytes, nullptr);
            return RegistryStatus::kSuccess;
        case ReadOutcome::Failed:
            break;
    }
    return RegistryStatus::kAccessDenied;
}

qint32 RegistryStore::Update(const std::function<qint32(RegistryDocument&)>& change) const {
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    FileLock lock(m_filePath + QStringLiteral(".lock"));
    if (!lock.Lock(kLockTimeoutMs))
        return RegistryStatus::kLockViolation;

    QByteArray bytes;
    const ReadOutcome outcome = ReadFile(m_filePath, bytes);
    if (outcome == ReadOutcome::Failed)
        return RegistryStatus::kAccessDenied;  // never replace what could not be read
    QStringList errors;
    RegistryDocument doc = ParseRemembered(m_filePath, bytes, &errors);

    const qint32 status = change(doc);
    if (status != RegistryStatus::kSuccess)
        return status;

    AtomicFile::Options ownerOnly;
    ownerOnly.fileMode = 0600;  // the store holds the scrambled FTP password
    if (!errors.isEmpty() &&
        !AtomicFile::Write(m_filePath + QStringLiteral(".bad"), bytes, ownerOnly)) {
        return RegistryStatus::kWriteFault;
    }
    if (!AtomicFile::Write(m_filePath, doc.Serialize(), ownerOnly))
        return RegistryStatus::kWriteFault;
    return RegistryStatus::kSuccess;
}
