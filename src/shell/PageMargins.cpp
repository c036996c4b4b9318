#include "shell/PageMargins.h"

#include <cstdlib>

int PageMargins::MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;  // as the platform's own multiply-divide answers
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int PageMargins::RoundToTen(int value) {
    return MulDiv(value, 1, 10) * 10;
}

int PageMargins::TwipsToShown(int twips) {
    return RoundToTen(MulDiv(twips, 1000, 1440));
}

int PageMargins::ShownToTwips(int thousandths) {
    return MulDiv(RoundToTen(thousandths), 1440, 1000);
}

QMargins PageMargins::TwipsToShown(const QMargins& twips) {
    return QMargins(TwipsToShown(twips.left()), TwipsToShown(twips.top()),
                    TwipsToShown(twips.right()), TwipsToShown(twips.bottom()));
}

QMargins PageMargins::ShownToTwips(const QMargins& thousandths) {
    return QMargins(ShownToTwips(thousandths.left()), ShownToTwips(thousandths.top()),
                    ShownToTwips(thousandths.right()), ShownToTwips(thousandths.bottom()));
}
