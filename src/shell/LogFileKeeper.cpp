#include "shell/LogFileKeeper.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/AtomicFile.h"
#include "shell/RtfCodec.h"

namespace LogFileKeeper {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("LogFileKeeper", text);
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The first free name of "<stem>.qpd", "<stem> (2).qpd", ...
QString FreeName(const QString& stem) {
    QString name = stem + QStringLiteral(".qpd");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral(" (%1).qpd").arg(n);
    return name;
}

}  // namespace

bool IsFromAnotherYear(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().date().year() != QDate::currentDate().year();
}

bool KeepOriginal(const QString& path, QString* note, QString* error) {
    note->clear();
    if (!QFileInfo(path).isFile())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    if (IsWrittenByQuillpad(file.read(kQuillpadHeaderBytes)))
        return true;
    const QString kept = path + QStringLiteral(".orig");
    if (QFileInfo::exists(kept))
        return true;
    const QByteArray bytes = file.seek(0) ? file.readAll() : QByteArray();
    AtomicFile::Options options;  // the copy is as private as the file
    struct stat status = {};
    if (::fstat(file.handle(), &status) == 0)
        options.newFileMode = status.st_mode & 07777;
    QString reason = file.errorString();
    if (bytes.size() != file.size() || !AtomicFile::Write(kept, bytes, options, &reason)) {
        *error = tr("The file as it was cannot be kept as %1.\n%2").arg(Native(kept), reason);
        return false;
    }
    *note = tr("%1 was written by another program; the file as it was is kept as %2.")
                .arg(Native(path), Native(kept));
    return true;
}

bool KeepEarlierYear(const QString& path, QString* note, QString* error) {
    note->clear();
    if (!IsFromAnotherYear(path) || !path.endsWith(QStringLiteral(".qpd")))
        return true;
    const int year = QFileInfo(path).lastModified().date().year();
    const QString kept = FreeName(path.chopped(4) + QLatin1Char(' ') + QString::number(year));
    if (!QFile::rename(path, kept)) {
        *error = tr("%1 cannot be renamed to %2.").arg(Native(path), Native(kept));
        return false;
    }
    *note = tr("The log of %1 %2 is kept as %3.")
                .arg(QFileInfo(path).completeBaseName(), QString::number(year), Native(kept));
    return true;
}

}  // namespace LogFileKeeper
