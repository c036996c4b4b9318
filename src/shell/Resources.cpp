#include "shell/Resources.h"

// Q_INIT_RESOURCE must stand outside any namespace. The sounds are registered by their player.
static void InitResourcesOnce() {
    Q_INIT_RESOURCE(quillpad);
    Q_INIT_RESOURCE(toolbar);
}

void Resources::Init() {
    static const bool done = [] {
        InitResourcesOnce();
        return true;
    }();
    Q_UNUSED(done);
}

QIcon Resources::ProgramIcon() {
    // Decoded once and shared: every window of a burst of incoming notes carries it.
    static const QIcon icon = [] {
        Init();
        QIcon made;
        for (int size : {16, 22, 32, 48, 64, 128, 256})
            made.addFile(QStringLiteral(":/icons/quillpad-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

QIcon Resources::ToolbarIcon(const char* themeName, const char* fallback) {
    Init();
    QIcon own;
    if (fallback && *fallback) {
        for (int size : {16, 32})
            own.addFile(QStringLiteral("%1-%2.png").arg(QLatin1String(fallback)).arg(size),
                        QSize(size, size));
    }
    if (!themeName || !*themeName)
        return own;
    return QIcon::fromTheme(QLatin1String(themeName), own);
}
