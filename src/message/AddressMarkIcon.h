#pragma once

#include <QIcon>

// What a check has learned of an address: the three states of an address list item's mark.
struct AddressMark {
    enum Value : int { NotListening = 0, Listening = 1, Unknown = 2 };
};

// The icon of a mark: a check mark, a cross, or a question mark while unknown. The icons are made
// once and shared by every window, so that each keeps its cached pixmaps.
const QIcon& AddressMarkIcon(int mark);
