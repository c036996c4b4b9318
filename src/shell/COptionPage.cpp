#include "shell/COptionPage.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QLineEdit>

#include "shell/MessageBox.h"

bool COptionPage::Validate() {
    for (const NumberField& number : std::as_const(m_numbers)) {
        if (!number.field->isEnabled())
            continue;
        if (PreferenceRules::ParseNumber(number.field->text(), number.range))
            continue;
        MessageBox::Critical(this, PreferenceRules::RangePrompt(number.range));
        number.field->setFocus(Qt::OtherFocusReason);
        number.field->selectAll();
        return false;
    }
    return true;
}

void COptionPage::AddNumberField(QLineEdit* field, PreferenceRules::NumberRange range) {
    m_numbers.append(NumberField{field, range});
}

void COptionPage::SetNumber(QLineEdit* field, quint32 value) {
    for (NumberField& number : m_numbers) {
        if (number.field == field)
            number.given = value;
    }
    field->setText(QString::number(value));
}

quint32 COptionPage::Number(const QLineEdit* field) const {
    const NumberField* number = FieldOf(field);
    Q_ASSERT(number);
    const std::optional<quint32> value = PreferenceRules::ParseNumber(field->text(), number->range);
    return value.value_or(number->given);
}

const COptionPage::NumberField* COptionPage::FieldOf(const QLineEdit* field) const {
    for (const NumberField& number : m_numbers) {
        if (number.field == field)
            return &number;
    }
    return nullptr;
}

void COptionPage::EnableWith(QAbstractButton* check, const QList<QWidget*>& group) {
    auto apply = [group](bool on) {
        for (QWidget* control : group)
            control->setEnabled(on);
    };
    apply(check->isChecked());
    QObject::connect(check, &QAbstractButton::toggled, check, apply);
}

void COptionPage::WhenLeft(QWidget* field, std::function<void(Qt::FocusReason)> action) {
    m_leaveActions.append({field, std::move(action)});
    field->installEventFilter(this);
}

bool COptionPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        for (const auto& [field, action] : std::as_const(m_leaveActions)) {
            if (field == watched)
                action(reason);
        }
    }
    return QWidget::eventFilter(watched, event);
}
