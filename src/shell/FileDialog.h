#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The program's file choosers. Tests cannot work a modal dialog, so they may queue the names
// the user would choose; an empty queued name stands for Cancel.
namespace FileDialog {

void QueueAnswer(const QString& path);

QString GetOpenFileName(QWidget* parent, const QString& initialPath, const QString& filter);
QString GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter);

}  // namespace FileDialog
