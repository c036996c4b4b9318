#pragma once

#include <QString>

class QDialogButtonBox;
class QMessageBox;
class QWidget;

// Every control has two names: an object name after its role, by which code and tests find
// it, and an accessible name in words, which is what a screen reader speaks.
namespace ControlNames {

void SetRole(QWidget* widget, const QString& objectName, const QString& spokenName);

// A caption as a person says it: "Re&place with:" is "Replace with", "&Open...\tCtrl+O" is
// "Open".
QString Words(const QString& caption);

// The window is spoken by the caption it shows, also after the caption changes.
void NameAfterCaption(QWidget* window);

// Each standard button is named after its role ("okButton") and spoken by its caption.
void NameStandardButtons(QDialogButtonBox* buttons);
void NameStandardButtons(QMessageBox* box);

// Each control that has a label is spoken by the words of that label; for dialogs that Qt
// builds, whose controls we do not lay out ourselves.
void NameAfterLabels(QWidget* window);

}  // namespace ControlNames
