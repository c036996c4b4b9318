#pragma once

#include <QMargins>

// Print margins are kept in twips (1/1440 inch); Page Setup shows them in thousandths of an
// inch, each on a multiple of ten.
namespace PageMargins {

// a * b / c to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);
// The nearest multiple of 10, halves away from zero.
int RoundToTen(int value);

// What Page Setup shows for a margin: 715 twips show as 500.
int TwipsToShown(int twips);
// What a confirmed Page Setup stores: 500 thousandths become 720 twips.
int ShownToTwips(int thousandths);

QMargins TwipsToShown(const QMargins& twips);
QMargins ShownToTwips(const QMargins& thousandths);

}  // namespace PageMargins
