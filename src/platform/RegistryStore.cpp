#include "platform/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

namespace {

enum class ReadOutcome { Missing, Read, Failed };

ReadOutcome ReadFile(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.exists())
        return ReadOutcome::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return ReadOutcome::Failed;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? ReadOutcome::Read : ReadOutcome::Failed;
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
            doc = RegistryDocument::Parse(bytes);
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
    RegistryDocument doc = RegistryDocument::Parse(bytes, &errors);

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
