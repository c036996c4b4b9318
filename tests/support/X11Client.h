#pragma once

#include <QByteArray>

// A client of the X display named by $DISPLAY that does for tests what a window manager does:
// find a top-level window by its title and class, and ask it to close.
class X11Client {
public:
    X11Client();
    ~X11Client();
    X11Client(const X11Client&) = delete;
    X11Client& operator=(const X11Client&) = delete;

    bool IsConnected() const { return m_display != nullptr; }
    // The window's id, or 0 when none has that title and class.
    unsigned long FindWindow(const QByteArray& title, const QByteArray& windowClass) const;
    // Sends WM_DELETE_WINDOW, as a window manager does when its close button is clicked.
    bool RequestClose(unsigned long window) const;
    // The window is mapped and all its ancestors are (it can be seen where nothing covers it).
    bool IsOnScreen(unsigned long window) const;
    // The window asks to be iconified (minimised) or is, by whatever a window manager reads.
    bool IsIconic(unsigned long window) const;

private:
    void* m_display = nullptr;
};
