#pragma once

#include <QList>
#include <QWidget>
#include <functional>

#include "shell/PreferenceRules.h"

class QAbstractButton;
class QLineEdit;
struct Settings;

// One page of the Options sheet: it takes its values from the settings record, gives them
// back, and keeps the user on the page while a number on it is not within its range.
class COptionPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void Load(const Settings& settings) = 0;
    // Gives back what the page shows; a page that was never looked at gives back what it took.
    virtual void Save(Settings& settings) const = 0;

    // Checks the numbers of the page in control order. The first that is not a number within
    // its range is reported to the user and selected; false then keeps the user on the page.
    bool Validate();

protected:
    // A field that holds a number: its range, and the value it was given.
    void AddNumberField(QLineEdit* field, PreferenceRules::NumberRange range);
    void SetNumber(QLineEdit* field, quint32 value);
    // The field's number. A disabled field whose text is no number in range (the user cannot
    // mend it there) gives back the value it was given.
    quint32 Number(const QLineEdit* field) const;

    // Every control of group is enabled exactly while check is checked, now and from now on.
    static void EnableWith(QAbstractButton* check, const QList<QWidget*>& group);

    // Runs action each time field loses the keyboard focus, with the reason it lost it.
    void WhenLeft(QWidget* field, std::function<void(Qt::FocusReason)> action);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct NumberField {
        QLineEdit* field;
        PreferenceRules::NumberRange range;
        quint32 given = 0;
    };
    const NumberField* FieldOf(const QLineEdit* field) const;

    QList<NumberField> m_numbers;
    QList<std::pair<QWidget*, std::function<void(Qt::FocusReason)>>> m_leaveActions;
};
