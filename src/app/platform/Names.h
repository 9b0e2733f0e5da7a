#pragma once
// File names on Linux are bytes. Keys and paths stay byte strings everywhere; these
// conversions are the only bridge to display text and back.

#include <QString>
#include <string>
#include <string_view>

namespace talvane {

// Text to show for a name or path; bytes that are not valid UTF-8 show as replacement marks.
QString DisplayName(std::string_view bytes);

// The bytes of a name the user typed.
std::string NameFromText(const QString& text);

// The bytes of a name the user edited from `original`, as `text`. What the edit left as it
// was keeps its own bytes, so an edit of a name that is not valid UTF-8 changes only what
// the user changed; what the user typed is taken as UTF-8.
std::string NameFromEditedText(const QString& text, std::string_view original);

// The last path component (everything after the last '/'): a view into `path`, and a copy.
std::string_view BaseNameView(std::string_view path);
std::string BaseName(std::string_view path);
// Everything before the last '/': the folder a path lies in ("." for a bare name, "/" at the
// root).
std::string FolderPart(std::string_view path);

// `folder` joined with `name` by exactly one '/': written over `out` (reusing its memory),
// and returned.
void JoinPathInto(std::string& out, std::string_view folder, std::string_view name);
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace talvane
