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

QString FileDialog::GetOpenFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter) {
    QString path;
    if (TakeAnswer(path))
        return path;
    QFileDialog dialog(parent, QString(), initialPath, filter);
    dialog.setObjectName(QStringLiteral("openFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("qpd"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString FileDialog::GetSaveFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter) {
    QString path;
    if (TakeAnswer(path))
        return path;
    QFileDialog dialog(parent, QString(), initialPath, filter);
    dialog.setObjectName(QStringLiteral("saveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qpd"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
