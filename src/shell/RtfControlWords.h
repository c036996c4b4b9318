#pragma once

#include <QtGlobal>
#include <optional>
#include <string_view>

// The control words that the RTF reader acts on. Destinations that hold no text of the document
// are all SkipDestination; a word that is not here changes nothing.
enum class RtfWord : quint8 {
    SkipDestination,
    Ansicpg,
    Bin,
    Bullet,
    Cell,
    Emdash,
    Emspace,
    Endash,
    Enspace,
    Ldblquote,
    Line,
    Lquote,
    Ltrmark,
    Mac,
    Otherblip,
    Par,
    Pc,
    Pca,
    Pichgoal,
    Picscalex,
    Picscaley,
    Pict,
    Picwgoal,
    Pngblip,
    Qmspace,
    Rdblquote,
    Row,
    Rquote,
    Rtlmark,
    Shpinst,
    Shppict,
    Shptxt,
    Sn,
    Sp,
    Sv,
    Tab,
    U,
    Uc,
    Zwbo,
    Zwj,
    Zwnj,
};

// The word of that name, or none for a word the reader does not know.
std::optional<RtfWord> FindRtfWord(std::string_view name);

// The character that a symbol word (\emdash, \lquote, ...) stands for, or 0 for other words.
char16_t SpecialCharacter(RtfWord word);
