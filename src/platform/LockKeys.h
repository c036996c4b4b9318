#pragma once

#include <optional>

// The state of the keyboard's lock keys, read from the keyboard lights that the kernel exposes
// (/sys/class/leds/*::capslock and so on). Unknown where no such light exists.
namespace LockKeys {
enum class Key { CapsLock, NumLock, ScrollLock };
std::optional<bool> IsOn(Key key);
}  // namespace LockKeys
