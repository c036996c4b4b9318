#include "shell/RtfControlWords.h"

#include <algorithm>
#include <iterator>

namespace {

struct WordEntry {
    std::string_view m_name;
    RtfWord m_word;
};

// Sorted by name for the binary search; the build checks the order.
constexpr WordEntry kWords[] = {
    {"aftncn", RtfWord::SkipDestination},
    {"aftnsep", RtfWord::SkipDestination},
    {"aftnsepc", RtfWord::SkipDestination},
    {"annotation", RtfWord::SkipDestination},
    {"ansicpg", RtfWord::Ansicpg},
    {"atnauthor", RtfWord::SkipDestination},
    {"atnid", RtfWord::SkipDestination},
    {"author", RtfWord::SkipDestination},
    {"bin", RtfWord::Bin},
    {"bkmkend", RtfWord::SkipDestination},
    {"bkmkstart", RtfWord::SkipDestination},
    {"blipuid", RtfWord::SkipDestination},
    {"bullet", RtfWord::Bullet},
    {"buptim", RtfWord::SkipDestination},
    {"category", RtfWord::SkipDestination},
    {"cell", RtfWord::Cell},
    {"colortbl", RtfWord::SkipDestination},
    {"comment", RtfWord::SkipDestination},
    {"company", RtfWord::SkipDestination},
    {"creatim", RtfWord::SkipDestination},
    {"datastore", RtfWord::SkipDestination},
    {"dibitmap", RtfWord::Otherblip},
    {"doccomm", RtfWord::SkipDestination},
    {"docvar", RtfWord::SkipDestination},
    {"emdash", RtfWord::Emdash},
    {"emfblip", RtfWord::Otherblip},
    {"emspace", RtfWord::Emspace},
    {"endash", RtfWord::Endash},
    {"enspace", RtfWord::Enspace},
    {"falt", RtfWord::SkipDestination},
    {"filetbl", RtfWord::SkipDestination},
    {"fldinst", RtfWord::SkipDestination},
    {"fonttbl", RtfWord::SkipDestination},
    {"footer", RtfWord::SkipDestination},
    {"footerf", RtfWord::SkipDestination},
    {"footerl", RtfWord::SkipDestination},
    {"footerr", RtfWord::SkipDestination},
    {"footnote", RtfWord::SkipDestination},
    {"ftncn", RtfWord::SkipDestination},
    {"ftnsep", RtfWord::SkipDestination},
    {"ftnsepc", RtfWord::SkipDestination},
    {"generator", RtfWord::SkipDestination},
    {"header", RtfWord::SkipDestination},
    {"headerf", RtfWord::SkipDestination},
    {"headerl", RtfWord::SkipDestination},
    {"headerr", RtfWord::SkipDestination},
    {"info", RtfWord::SkipDestination},
    {"jpegblip", RtfWord::Otherblip},
    {"keywords", RtfWord::SkipDestination},
    {"latentstyles", RtfWord::SkipDestination},
    {"ldblquote", RtfWord::Ldblquote},
    {"line", RtfWord::Line},
    {"listoverridetable", RtfWord::SkipDestination},
    {"listtable", RtfWord::SkipDestination},
    {"lquote", RtfWord::Lquote},
    {"ltrmark", RtfWord::Ltrmark},
    {"mac", RtfWord::Mac},
    {"macpict", RtfWord::Otherblip},
    {"manager", RtfWord::SkipDestination},
    {"nestcell", RtfWord::Cell},
    {"nestrow", RtfWord::Row},
    {"nonshppict", RtfWord::SkipDestination},
    {"objdata", RtfWord::SkipDestination},
    {"operator", RtfWord::SkipDestination},
    {"panose", RtfWord::SkipDestination},
    {"par", RtfWord::Par},
    {"pc", RtfWord::Pc},
    {"pca", RtfWord::Pca},
    {"pgdsctbl", RtfWord::SkipDestination},
    {"pichgoal", RtfWord::Pichgoal},
    {"picprop", RtfWord::SkipDestination},
    {"picscalex", RtfWord::Picscalex},
    {"picscaley", RtfWord::Picscaley},
    {"pict", RtfWord::Pict},
    {"picwgoal", RtfWord::Picwgoal},
    {"pmmetafile", RtfWord::Otherblip},
    {"pn", RtfWord::SkipDestination},
    {"pngblip", RtfWord::Pngblip},
    {"printim", RtfWord::SkipDestination},
    {"qmspace", RtfWord::Qmspace},
    {"rdblquote", RtfWord::Rdblquote},
    {"revtbl", RtfWord::SkipDestination},
    {"revtim", RtfWord::SkipDestination},
    {"row", RtfWord::Row},
    {"rquote", RtfWord::Rquote},
    {"rsidtbl", RtfWord::SkipDestination},
    {"rtlmark", RtfWord::Rtlmark},
    {"sect", RtfWord::Par},
    {"shpinst", RtfWord::Shpinst},
    {"shppict", RtfWord::Shppict},
    {"shprslt", RtfWord::SkipDestination},
    {"shptxt", RtfWord::Shptxt},
    {"sn", RtfWord::Sn},
    {"sp", RtfWord::Sp},
    {"stylesheet", RtfWord::SkipDestination},
    {"subject", RtfWord::SkipDestination},
    {"sv", RtfWord::Sv},
    {"tab", RtfWord::Tab},
    {"tc", RtfWord::SkipDestination},
    {"tcn", RtfWord::SkipDestination},
    {"template", RtfWord::SkipDestination},
    {"themedata", RtfWord::SkipDestination},
    {"title", RtfWord::SkipDestination},
    {"txe", RtfWord::SkipDestination},
    {"u", RtfWord::U},
    {"uc", RtfWord::Uc},
    {"userprops", RtfWord::SkipDestination},
    {"wbitmap", RtfWord::Otherblip},
    {"wmetafile", RtfWord::Otherblip},
    {"xe", RtfWord::SkipDestination},
    {"xmlnstbl", RtfWord::SkipDestination},
    {"zwbo", RtfWord::Zwbo},
    {"zwj", RtfWord::Zwj},
    {"zwnj", RtfWord::Zwnj},
};

// The order of std::string_view, compared here rather than with a library call per step: a
// file has a control word every few bytes, and names mostly differ in their first letters.
constexpr bool NameBefore(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
    }
    return a.size() < b.size();
}

constexpr bool WordsAreSorted() {
    return std::is_sorted(
        std::begin(kWords), std::end(kWords),
        [](const WordEntry& a, const WordEntry& b) { return NameBefore(a.m_name, b.m_name); });
}
static_assert(WordsAreSorted());

}  // namespace

std::optional<RtfWord> FindRtfWord(std::string_view name) {
    const auto* it = std::lower_bound(
        std::begin(kWords), std::end(kWords), name,
        [](const WordEntry& entry, std::string_view key) { return NameBefore(entry.m_name, key); });
    if (it == std::end(kWords) || it->m_name != name)
        return std::nullopt;
    return it->m_word;
}

char16_t SpecialCharacter(RtfWord word) {
    switch (word) {
        case RtfWord::Bullet:
            return 0x2022;
        case RtfWord::Emdash:
            return 0x2014;
        case RtfWord::Emspace:
            return 0x2003;
        case RtfWord::Endash:
            return 0x2013;
        case RtfWord::Enspace:
            return 0x2002;
        case RtfWord::Ldblquote:
            return 0x201c;
        case RtfWord::Lquote:
            return 0x2018;
        case RtfWord::Ltrmark:
            return 0x200e;
        case RtfWord::Qmspace:
            return 0x2005;
        case RtfWord::Rdblquote:
            return 0x201d;
        case RtfWord::Rquote:
            return 0x2019;
        case RtfWord::Rtlmark:
            return 0x200f;
        case RtfWord::Zwbo:
            return 0x200b;
        case RtfWord::Zwj:
            return 0x200d;
        case RtfWord::Zwnj:
            return 0x200c;
        default:
            return 0;
    }
}
