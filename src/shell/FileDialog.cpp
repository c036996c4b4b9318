#include "shell/FileDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>

#include "shell/ControlNames.h"

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

// Qt's own dialog names only some of its controls; the rest are spoken by their labels and
// captions. Its accept button reads "Open" instead of "Save" while a folder is chosen, and its
// name follows once the dialog has changed it.
void NameControls(QFileDialog& dialog) {
    ControlNames::NameAfterCaption(&dialog);
    // Its form leaves these labels without the control they stand for.
    for (const auto& [label, control] :
         {std::pair{"lookInLabel", "lookInCombo"}, std::pair{"fileTypeLabel", "fileTypeCombo"}}) {
        auto* caption = dialog.findChild<QLabel*>(QLatin1String(label));
        if (caption && !caption->buddy())
            caption->setBuddy(dialog.findChild<QWidget*>(QLatin1String(control)));
    }
    ControlNames::NameAfterLabels(&dialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    if (!buttons)
        return;
    ControlNames::NameStandardButtons(buttons);
    const auto rename = [buttons] { ControlNames::NameStandardButtons(buttons); };
    QObject::connect(&dialog, &QFileDialog::currentChanged, buttons, rename, Qt::QueuedConnection);
    for (const QLineEdit* field : dialog.findChildren<QLineEdit*>())
        QObject::connect(field, &QLineEdit::textChanged, buttons, rename, Qt::QueuedConnection);
}

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
    NameControls(dialog);
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
    NameControls(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
