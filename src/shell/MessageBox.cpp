#include "shell/MessageBox.h"

#include <QCoreApplication>
#include <QMutex>

#include "shell/ControlNames.h"
#include "shell/IApplication.h"

namespace {

QMutex g_mutex;
MessageBox::Answerer g_answerer;

// Every box bears the program's name as its caption; what a screen reader says first is the kind
// of box.
QString SpokenKind(QMessageBox::Icon icon) {
    switch (icon) {
        case QMessageBox::Critical:
            return QCoreApplication::translate("MessageBox", "Error");
        case QMessageBox::Warning:
            return QCoreApplication::translate("MessageBox", "Warning");
        case QMessageBox::Information:
            return QCoreApplication::translate("MessageBox", "Information");
        case QMessageBox::Question:
            return QCoreApplication::translate("MessageBox", "Question");
        case QMessageBox::NoIcon:
            break;
    }
    return QCoreApplication::translate("MessageBox", "Message");
}

QMessageBox::StandardButton Show(
    QWidget* parent, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
    MessageBox::Answerer answerer;
    {
        QMutexLocker lock(&g_mutex);
        answerer = g_answerer;
    }
    if (answerer)
        return answerer(icon, text);
    QMessageBox box(icon, QString::fromLatin1(IApplication::kAppTitle), text, buttons, parent);
    box.setObjectName(QStringLiteral("messageBox"));
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    box.setAccessibleName(SpokenKind(icon));
    ControlNames::NameStandardButtons(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void MessageBox::SetAnswerer(Answerer answerer) {
    QMutexLocker lock(&g_mutex);
    g_answerer = std::move(answerer);
}

void MessageBox::Critical(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Critical, text, QMessageBox::Ok);
}

void MessageBox::Plain(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void MessageBox::Information(QWidget* parent, const QString& text) {
    Show(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

bool MessageBox::Question(QWidget* parent, const QString& text,
                          QMessageBox::StandardButton defaultButton) {
    return Show(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                defaultButton) == QMessageBox::Yes;
}

QMessageBox::StandardButton MessageBox::QuestionWithCancel(QWidget* parent, const QString& text) {
    return Show(parent, QMessageBox::Question, text,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}
