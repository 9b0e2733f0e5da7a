#include "app/platform/NaturalSort.h"

namespace talvane {

namespace {

// The characters of a text, as UTF-16 (QChar) or as ASCII bytes (char): both give the same
// key for the same text.
bool IsDigit(QChar c) { return c.isDigit(); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int DigitValue(QChar c) { return c.unicode() < 0x80 ? c.unicode() - u'0' : c.digitValue(); }
int DigitValue(char c) { return c - '0'; }
char16_t Unit(QChar c) { return c.unicode(); }
char16_t Unit(char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); }
char16_t Folded(QChar c) { return c.toCaseFolded().unicode(); }
char16_t Folded(char c) { return Unit(c); }  // only ever asked for characters beyond ASCII

template <class Char>
std::string MakeNaturalSortKey(const Char* p, const Char* end) {
    // One byte per ASCII character (folded to lower case); three order-keeping bytes, all
    // above ASCII, per other character; a run of digits as '0', the count of its digits
    // without leading zeros, and those digits. Bytes compare then as the texts should.
    std::string key;
    key.reserve(static_cast<size_t>(end - p) + 4);
    while (p < end) {
        if (IsDigit(*p)) {
            while (p < end && IsDigit(*p) && DigitValue(*p) == 0) ++p;
            const Char* digits = p;
            while (p < end && IsDigit(*p)) ++p;
            key.push_back('0');
            key.push_back(static_cast<char>(std::min<ptrdiff_t>(p - digits, 255)));
            for (const Char* d = digits; d < p; ++d)
                key.push_back(static_cast<char>('0' + DigitValue(*d)));
            continue;
        }
        char16_t c = Unit(*p);
        if (c >= 0x80) c = Folded(*p);  // some fold into ASCII: the Kelvin sign is a k
        if (c < 0x80) {
            key.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
        } else {
            key.push_back(static_cast<char>(0x80 | (c >> 12)));
            key.push_back(static_cast<char>((c >> 6) & 0x3F));
            key.push_back(static_cast<char>(c & 0x3F));
        }
        ++p;
    }
    return key;
}

}  // namespace

std::string NaturalSortKey(const QString& text) {
    return MakeNaturalSortKey(text.constData(), text.constData() + text.size());
}

std::string NaturalSortKeyOfAscii(std::string_view text) {
    return MakeNaturalSortKey(text.data(), text.data() + text.size());
}

int NaturalCompare(const QString& a, const QString& b) {
    return NaturalSortKey(a).compare(NaturalSortKey(b));
}

}  // namespace talvane
