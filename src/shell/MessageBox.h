#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

// The program's message boxes. Tests cannot click a modal box, so they may put an answerer in
// its place: it sees each box (icon, text) and gives the button the user would have pressed.
namespace MessageBox {

using Answerer =
    std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& text)>;

// Replaces the real boxes until called again with an empty answerer.
void SetAnswerer(Answerer answerer);

// Error icon, OK button.
void Critical(QWidget* parent, const QString& text);
// No icon, OK button.
void Plain(QWidget* parent, const QString& text);
// Information icon, OK button.
void Information(QWidget* parent, const QString& text);
// Question with Yes and No; true for Yes. defaultButton is the one Enter presses.
bool Question(QWidget* parent, const QString& text,
              QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
// Question with Yes, No and Cancel; the button pressed.
QMessageBox::StandardButton QuestionWithCancel(QWidget* parent, const QString& text);

}  // namespace MessageBox
