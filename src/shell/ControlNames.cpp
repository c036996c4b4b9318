#include "shell/ControlNames.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMetaEnum>

namespace {

class CaptionNamer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange) {
            auto* window = static_cast<QWidget*>(watched);
            window->setAccessibleName(window->windowTitle());
        }
        return QObject::eventFilter(watched, event);
    }
};

// "okButton" for QDialogButtonBox::Ok; QMessageBox uses the same values.
QString RoleOf(int standardButton) {
    const QMetaObject& type = QDialogButtonBox::staticMetaObject;
    const QMetaEnum buttons = type.enumerator(type.indexOfEnumerator("StandardButtons"));
    QString key = QLatin1String(buttons.valueToKey(standardButton));
    if (key.isEmpty())
        return key;
    key[0] = key[0].toLower();
    return key + QStringLiteral("Button");
}

void NameButton(QAbstractButton* button, int standardButton) {
    if (button->objectName().isEmpty())
        button->setObjectName(RoleOf(standardButton));
    button->setAccessibleName(ControlNames::Words(button->text()));
}

}  // namespace

namespace ControlNames {

void SetRole(QWidget* widget, const QString& objectName, const QString& spokenName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(spokenName);
}

QString Words(const QString& caption) {
    const QString shown = caption.section(QLatin1Char('\t'), 0, 0);
    QString words;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        // "&&" shows one ampersand; a single one only marks the mnemonic.
        if (shown[i] == QLatin1Char('&') && ++i == shown.size())
            break;
        words += shown[i];
    }
    words = words.trimmed();
    for (const QString& end :
         {QStringLiteral("..."), QString(QChar(0x2026)), QStringLiteral(":")}) {
        if (words.endsWith(end))
            words.chop(end.size());
    }
    return words.trimmed();
}

void NameAfterCaption(QWidget* window) {
    window->setAccessibleName(window->windowTitle());
    window->installEventFilter(new CaptionNamer(window));
}

void NameStandardButtons(QDialogButtonBox* buttons) {
    for (QAbstractButton* button : buttons->buttons())
        NameButton(button, buttons->standardButton(button));
}

void NameStandardButtons(QMessageBox* box) {
    for (QAbstractButton* button : box->buttons())
        NameButton(button, box->standardButton(button));
}

void NameAfterLabels(QWidget* window) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (QWidget* control = label->buddy(); control && control->accessibleName().isEmpty())
            control->setAccessibleName(Words(label->text()));
    }
}

}  // namespace ControlNames
