#pragma once

#include <QString>
#include <optional>

// Numbers typed into a field, checked as a dialog checks them before it takes them: a whole
// number within the field's range, or the user is told which numbers it takes.
namespace NumberInput {

// The whole numbers a field accepts, both ends included.
struct NumberRange {
    quint32 min;
    quint32 max;
};

// The number a field's text stands for, when it is a whole number (blanks around it allowed)
// within range; nothing otherwise.
std::optional<quint32> ParseNumber(const QString& text, NumberRange range);

// What the user is told when a field holds no number within range.
QString RangePrompt(NumberRange range);

}  // namespace NumberInput
