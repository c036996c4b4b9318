#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include "shell/WindowPlacement.h"

class QWidget;
class RegistryStore;

// Remembers where each window of the program was: its placement record as a value of the
// Windows section. The error text of the last failure is kept here; windows do not show it.
class WindowPlacementStore {
public:
    static constexpr const char* kKeyPath = "Software\\Vexor\\Quillpad\\3.0\\Windows";

    explicit WindowPlacementStore(const RegistryStore& store);

    // Applies the stored placement unless its normal rectangle lies wholly off the screen;
    // forceHidden keeps the window hidden whatever state was stored.
    bool Restore(const QString& keyPath, const QString& valueName, QWidget& window,
                 bool forceHidden);
    bool ReadRect(const QString& keyPath, const QString& valueName, QRect& rect);
    bool Save(const QString& keyPath, const QString& valueName, const QWidget& window);

    const QString& ErrorText() const { return m_strError; }

    // The placement of a window as it is now, and the reverse.
    static WindowPlacement Take(const QWidget& window);
    static void Apply(const WindowPlacement& placement, QWidget& window);
    // The rectangles of all monitors, in virtual-desktop coordinates.
    static QList<QRect> ScreenRects();

private:
    bool Read(const QString& keyPath, const QString& valueName, WindowPlacement& placement);

    const RegistryStore& m_store;
    QString m_strError;
};
