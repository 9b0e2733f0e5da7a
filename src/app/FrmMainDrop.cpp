// A folder dropped on the main window, from a file manager, is listed as if it had been
// chosen with Browse New Folder...; anything else dropped is ignored.

#include <sys/stat.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <optional>
#include <string>

#include "app/FrmMain.h"
#include "catalogue/MainModule.h"

namespace talvane {

namespace {

// The one local folder the drag carries, as the bytes of its path, or nothing.
std::optional<std::string> DraggedFolder(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    // The path's bytes from their percent-encoding, so names in any encoding survive.
    std::string path =
        QByteArray::fromPercentEncoding(urls.front().path(QUrl::FullyEncoded).toLatin1())
            .toStdString();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return path;
}

// The folder is only read: the drop is taken as a copy or a link, never as a move, after
// which the file manager could remove what it thinks it moved.
bool TakeAsReading(QDropEvent* event) {
    for (Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    return false;
}

}  // namespace

void FrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedFolder(event->mimeData())) TakeAsReading(event);
}

void FrmMain::dropEvent(QDropEvent* event) {
    std::optional<std::string> folder = DraggedFolder(event->mimeData());
    if (!folder || !TakeAsReading(event)) return;
    EndLabelEditFirst();  // as the menu commands do
    RunReportingScanFailure([&] { LoadBanners(*folder); });
}

}  // namespace talvane
