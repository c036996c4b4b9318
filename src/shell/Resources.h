#pragma once

#include <QIcon>
#include <QString>

// The images and sounds compiled into the program.
namespace Resources {

// Registers the resources of the static library; safe to call any number of times.
void Init();

QIcon ProgramIcon();
// A toolbar image: the desktop's themed icon when there is one, else our own drawing at
// ":/toolbar/<fallback>-16.png" and "-32.png".
QIcon ToolbarIcon(const char* themeName, const char* fallback);

}  // namespace Resources
