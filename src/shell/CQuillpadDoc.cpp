#include "shell/CQuillpadDoc.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

#include "platform/AtomicFile.h"
#include "shell/LogImageHandler.h"
#include "shell/LogRtf.h"

namespace {
// Log files are read whole; a file larger than this is not a log.
constexpr qint64 kMaxLogFileBytes = qint64(1) << 30;
}  // namespace

CQuillpadDoc::CQuillpadDoc(QObject* parent) : QObject(parent), m_document(new QTextDocument(this)) {
    LogImageHandler::Install(*m_document);
}

CQuillpadDoc::~CQuillpadDoc() = default;

void CQuillpadDoc::SetPathName(const QString& path) {
    m_strPathName = path;
    Q_EMIT titleChanged(Title());
}

QString CQuillpadDoc::Title() const {
    return m_strPathName.isEmpty() ? m_strUntitled : QFileInfo(m_strPathName).fileName();
}

void CQuillpadDoc::SetUntitledName(const QString& name) {
    m_strUntitled = name;
    Q_EMIT titleChanged(Title());
}

bool CQuillpadDoc::IsModified() const {
    return m_document->isModified();
}

void CQuillpadDoc::SetModified(bool modified) {
    m_document->setModified(modified);
}

CQuillpadDoc::LoadResult CQuillpadDoc::Load(const QString& path, QString* error, bool keepDamaged) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return LoadResult::Failed;
    }
    if (file.size() > kMaxLogFileBytes) {
        if (error)
            *error = tr("The file is too large to be a log.");
        return LoadResult::Failed;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return LoadResult::Failed;
    }
    QString reason;
    const bool whole = RtfToDocument(bytes, *m_document, &reason);
    SetPathName(path);
    m_document->setModified(false);
    if (!whole) {
        // The next save would replace the part that could not be read.
        if (keepDamaged)
            AtomicFile::Write(path + QStringLiteral(".bad"), bytes);
        if (error)
            *error = reason;
    }
    return whole ? LoadResult::Read : LoadResult::Damaged;
}

QByteArray CQuillpadDoc::ToRtf(int* unwritten) const {
    return DocumentToRtf(*m_document, QString::fromLatin1(kFaceName), kHalfPoints, unwritten);
}

bool CQuillpadDoc::SaveTo(const QString& path, QString* error) const {
    return AtomicFile::Write(path, ToRtf(), error);
}
