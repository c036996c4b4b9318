#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>

// A window's placement as stored in the Windows section: 44 bytes of little-endian 32-bit
// integers in the platform record's layout.
struct WindowPlacement {
    enum ShowCommand : qint32 { Hidden = 0, Normal = 1, Minimized = 2, Maximized = 3 };
    static constexpr qint32 kLength = 44;
    static constexpr qint32 kRestoreToMaximized = 0x2;  // flag: a minimised window was maximised

    qint32 m_nFlags = 0;
    qint32 m_nShowCmd = Normal;
    QPoint m_ptMinPosition{-1, -1};
    QPoint m_ptMaxPosition{-1, -1};
    // The normal rectangle as the record keeps it: right and bottom lie just outside it.
    qint32 m_nLeft = 0;
    qint32 m_nTop = 0;
    qint32 m_nRight = 0;
    qint32 m_nBottom = 0;

    QByteArray ToBytes() const;
    // False unless data holds exactly a record of 44 bytes whose length field says 44.
    static bool FromBytes(const QByteArray& data, WindowPlacement& placement);

    QRect NormalRect() const;
    void SetNormalRect(const QRect& rect);
};

// The screen is the virtual desktop: every monitor together.
namespace ScreenRules {

// Other windows are restored unless their normal rectangle lies wholly off the screen.
bool Intersects(const QRect& normalRect, const QList<QRect>& screens);

// The main window uses a saved rectangle only when it has a size and both its top-left and its
// bottom-right corner lie on the screen (the right and bottom edges of a screen excluded).
bool LiesOn(const QRect& normalRect, const QList<QRect>& screens);

}  // namespace ScreenRules
