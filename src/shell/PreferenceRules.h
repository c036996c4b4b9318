#pragma once

#include <QString>
#include <optional>

#include "platform/NumberInput.h"

// The rules the Preferences pages follow, without their widgets.
namespace PreferenceRules {

using NumberInput::NumberRange;
using NumberInput::ParseNumber;
using NumberInput::RangePrompt;

constexpr NumberRange kSaveLogInterval{10, 240};  // minutes
constexpr NumberRange kNotifyInterval{0, 60};     // minutes
// Anything outside 1 to 65535 cannot be listened on.
constexpr NumberRange kPort{1, 65535};
constexpr NumberRange kSocketTimeout{0, 100};     // seconds
constexpr NumberRange kBroadcastInterval{0, 60};  // minutes
constexpr NumberRange kUpdateInterval{1, 24};     // hours

// A local directory ends with "/": one is appended unless the text ends with one already.
// An empty text stays empty.
QString WithLocalSeparator(const QString& directory);

// A server directory keeps the server's own separator: a text that ends with "/" or "\" is
// left as it is; otherwise "\" is appended where the text already uses "\", else "/".
// An empty text stays empty.
QString WithServerSeparator(const QString& directory);

// Makes sure a data directory that the user typed can be used: a full path, created with every
// missing directory above it, and writable. False with a text for the user otherwise.
bool PrepareDataDirectory(const QString& directory, QString* error);

}  // namespace PreferenceRules
