#pragma once

// The commands of a message window's toolbar, by the numbers the window gives them.
struct MessageCommands {
    enum Command : int {
        ID_TO = 2000,
        ID_CLEAR,
        ID_SELECT,
        ID_DESELECT,
        ID_SEND,
        ID_REPLY,
        ID_CHECK,
        ID_ERASE,
        ID_EXIT,
    };
};
