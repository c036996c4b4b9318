#include "shell/FileDialog.h"

#include <QFileDialog>
#include <QMutex>

namespace {

QMutex g_mutex;
QStringList g_answers;
bool g_hasAnswers = false;

bool TakeAnswer(QString& path) {
    QMutexLocker lock(&g_mutex);
    if (!g_hasAnswers || g_answers.isEmpty())
        return false;
    path = g_answers.takeFirst();
    g_hasAnswers = !g_answers.isEmpty();
    return true;
}

}  // namespace

void FileDialog::QueueAnswer(const QString& path) {
    QMutexLocker lock(&g_mutex);
    g_answers.append(path);
    g_hasAnswers = true;
}

namespace {

// A queued answer when a test gave one, else the user's choice (empty when cancelled).
QString AskForFile(QWidget* parent, const QString& initialPath, const QString& filter,
                   QFileDialog::AcceptMode mode, const QString& defaultSuffix) {
    QString path;
    if (TakeAnswer(path))
        return path;
    QFileDialog dialog(parent, QString(), initialPath, filter);
    const bool open = mode == QFileDialog::AcceptOpen;
    dialog.setObjectName(open ? QStringLiteral("openFileDialog")
                              : QStringLiteral("saveFileDialog"));
    dialog.setAcceptMode(mode);
    if (open)
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

}  // namespace

QString FileDialog::GetOpenFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter, const QString& defaultSuffix) {
    return AskForFile(parent, initialPath, filter, QFileDialog::AcceptOpen, defaultSuffix);
}

QString FileDialog::GetSaveFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter) {
    return AskForFile(parent, initialPath, filter, QFileDialog::AcceptSave, QStringLiteral("qpd"));
}

QString FileDialog::GetExistingDirectory(QWidget* parent, const QString& title,
                                         const QString& initialPath) {
    QString path;
    if (TakeAnswer(path))
        return path;
    QFileDialog dialog(parent, title, initialPath);
    dialog.setObjectName(QStringLiteral("directoryDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
