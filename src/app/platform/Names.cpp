#include "app/platform/Names.h"

#include <QFile>
#include <vector>

namespace talvane {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0.
size_t SequenceLength(std::string_view bytes) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF) return 0;
    return length;
}

// One shown character (or two UTF-16 units) and the bytes it stands for.
struct Piece {
    QString text;
    std::string_view bytes;
};

// The name as shown, piece by piece: each byte that is not part of a well-formed sequence
// is one replacement mark of its own.
std::vector<Piece> Pieces(std::string_view bytes) {
    std::vector<Piece> pieces;
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = SequenceLength(bytes.substr(at));
        std::string_view piece = bytes.substr(at, length ? length : 1);
        pieces.push_back({length ? QString::fromUtf8(piece.data(), qsizetype(piece.size()))
                                 : QString(QChar::ReplacementCharacter),
                          piece});
        at += piece.size();
    }
    return pieces;
}

}  // namespace

QString DisplayName(std::string_view bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!text.contains(QChar::ReplacementCharacter)) return text;
    // One mark for each byte that is not UTF-8, as an edit of the name counts them.
    text.clear();
    for (const Piece& piece : Pieces(bytes)) text += piece.text;
    return text;
}

std::string NameFromText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

std::string NameFromEditedText(const QString& text, std::string_view original) {
    const std::vector<Piece> pieces = Pieces(original);
    // The pieces the text still starts with, and then those it still ends with.
    size_t first = 0;
    qsizetype from = 0;
    while (first < pieces.size() && text.mid(from).startsWith(pieces[first].text))
        from += pieces[first++].text.size();
    size_t last = pieces.size();
    qsizetype to = text.size();
    while (last > first && to - pieces[last - 1].text.size() >= from &&
           QStringView(text).left(to).endsWith(pieces[last - 1].text))
        to -= pieces[--last].text.size();
    std::string name;
    for (size_t i = 0; i < first; ++i) name += pieces[i].bytes;
    name += NameFromText(text.mid(from, to - from));
    for (size_t i = last; i < pieces.size(); ++i) name += pieces[i].bytes;
    return name;
}

std::string_view BaseNameView(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string BaseName(std::string_view path) { return std::string(BaseNameView(path)); }

std::string FolderPart(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

void JoinPathInto(std::string& out, std::string_view folder, std::string_view name) {
    out.assign(folder);
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path;
    JoinPathInto(path, folder, name);
    return path;
}

}  // namespace talvane
