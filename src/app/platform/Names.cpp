#include "app/platform/Names.h"

#include <QFile>

namespace talvane {

QString DisplayName(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string NameFromText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
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
