#pragma once

#include <QObject>
#include <QtGlobal>

// The child of parent with that object name and type; a test cannot go on without it.
template <typename T>
T* Child(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}
