#include "app/platform/OneLine.h"

#include <algorithm>

namespace talvane {

QString OneLine(const QString& text) {
    auto isBreak = [](char16_t c) {
        return c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 ||
               c == 0x2029;
    };
    auto isControl = [](char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); };
    // Nearly every name has none: it is then handed back without a copy.
    if (std::none_of(text.cbegin(), text.cend(),
                     [&](QChar c) { return isBreak(c.unicode()) || isControl(c.unicode()); }))
        return text;
    QString shown = text;
    // Symbols the common fonts have; most of them lack the control pictures (U+2400 on).
    for (QChar& c : shown) {
        const char16_t u = c.unicode();
        if (isBreak(u))
            c = QChar(0x21B5);  // downwards arrow with corner leftwards
        else if (u == u'\t')
            c = QChar(0x2192);  // rightwards arrow
        else if (isControl(u))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

}  // namespace talvane
