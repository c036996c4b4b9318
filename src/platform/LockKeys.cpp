#include "platform/LockKeys.h"

#include <QDir>
#include <QFile>

std::optional<bool> LockKeys::IsOn(Key key) {
    const char* suffix = key == Key::CapsLock  ? "::capslock"
                         : key == Key::NumLock ? "::numlock"
                                               : "::scrolllock";
    const QDir leds(QStringLiteral("/sys/class/leds"));
    const QStringList names = leds.entryList({QLatin1Char('*') + QLatin1String(suffix)},
                                             QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    if (names.isEmpty())
        return std::nullopt;
    // With several keyboards, a lock is on when any of them shows it.
    bool on = false;
    for (const QString& name : names) {
        QFile brightness(leds.filePath(name) + QStringLiteral("/brightness"));
        if (brightness.open(QIODevice::ReadOnly) && brightness.read(16).trimmed().toInt() > 0)
            on = true;
    }
    return on;
}
