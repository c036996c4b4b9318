#include "platform/NumberInput.h"

#include <QCoreApplication>

namespace NumberInput {

std::optional<quint32> ParseNumber(const QString& text, NumberRange range) {
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;  // no signs, no blanks inside, no other digits than 0 to 9
    }
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    if (!ok || value < range.min || value > range.max)
        return std::nullopt;
    return static_cast<quint32>(value);
}

QString RangePrompt(NumberRange range) {
    return QCoreApplication::translate("NumberInput", "Please enter a whole number from %1 to %2.")
        .arg(range.min)
        .arg(range.max);
}

}  // namespace NumberInput
