#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The program's file choosers. Tests cannot work a modal dialog, so they may queue the names
// the user would choose; an empty queued name stands for Cancel.
namespace FileDialog {

void QueueAnswer(const QString& path);

// A name without an extension gets defaultSuffix.
QString GetOpenFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                        const QString& defaultSuffix = QStringLiteral("qpd"));
QString GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter);
// A directory that exists, as a path without a trailing '/'; empty when cancelled.
QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& initialPath);

}  // namespace FileDialog
