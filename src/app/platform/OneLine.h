#pragma once
// How a text a control shows on one line is drawn: a file name may hold line breaks and
// other control characters, which would break the line or draw nothing.

#include <QString>

namespace talvane {

// `text` with each line break or other control character replaced by a visible symbol; the
// text itself when it has none.
QString OneLine(const QString& text);

}  // namespace talvane
