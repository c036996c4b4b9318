#include "X11Client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Display* Dpy(void* display) {
    return static_cast<Display*>(display);
}

Window Find(Display* display, Window parent, const QByteArray& title, const QByteArray& windowClass,
            int depth) {
    Window root = 0;
    Window parentOut = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (depth > 8 || !XQueryTree(display, parent, &root, &parentOut, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XClassHint hint = {};
        if (XFetchName(display, children[i], &name) && name && title == name &&
            XGetClassHint(display, children[i], &hint) && windowClass == hint.res_class) {
            found = children[i];
        }
        if (name)
            XFree(name);
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
        if (!found)
            found = Find(display, children[i], title, windowClass, depth + 1);
    }
    if (children)
        XFree(children);
    return found;
}

}  // namespace

X11Client::X11Client() : m_display(XOpenDisplay(nullptr)) {}

X11Client::~X11Client() {
    if (m_display)
        XCloseDisplay(Dpy(m_display));
}

unsigned long X11Client::FindWindow(const QByteArray& title, const QByteArray& windowClass) const {
    if (!m_display)
        return 0;
    Display* display = Dpy(m_display);
    return Find(display, DefaultRootWindow(display), title, windowClass, 0);
}

bool X11Client::RequestClose(unsigned long window) const {
    if (!m_display || !window)
        return false;
    Display* display = Dpy(m_display);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    return sent;
}

bool X11Client::IsOnScreen(unsigned long window) const {
    if (!m_display || !window)
        return false;
    XWindowAttributes attributes = {};
    return XGetWindowAttributes(Dpy(m_display), window, &attributes) &&
           attributes.map_state == IsViewable;
}

bool X11Client::IsIconic(unsigned long window) const {
    if (!m_display || !window)
        return false;
    Display* display = Dpy(m_display);
    bool iconic = false;
    if (XWMHints* hints = XGetWMHints(display, window)) {
        iconic = (hints->flags & StateHint) && hints->initial_state == IconicState;
        XFree(hints);
    }
    // _NET_WM_STATE, as an EWMH window manager reads it.
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom hidden = XInternAtom(display, "_NET_WM_STATE_HIDDEN", False);
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 64,
                           False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            iconic = iconic || atoms[i] == hidden;
        XFree(data);
    }
    return iconic;
}
