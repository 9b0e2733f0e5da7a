#pragma once
// The catalogue's shared routines: the entry routine, the folder scan, the status texts,
// the preview, and taking a banner out of the list.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace talvane {

// The program's entry: shows both windows, then lists `folderPath`, or asks for a folder
// first when it is empty.
void Main(const std::string& folderPath = std::string());

// Lists the banners of `folderPath`; an empty path asks the user for a folder first, and a
// cancelled dialog changes nothing. A failure stops the scan where it happened and passes
// to the caller.
void LoadBanners(std::string folderPath);

// Writes `text` into status panel `panelIndex` (1-based) and paints it at once.
void SetStatusText(const QString& text, int16_t panelIndex);

// Shows the stored picture of banner `key` in the preview window; an empty or unknown key
// empties the preview. Never fails.
void ShowPreview(const std::string& key);

// Takes the entry with `key` out of the list; its picture stays in the image store.
void RemoveBanner(const std::string& key);

// Runs a command that scans a folder and reports a failed scan to the user: the list keeps
// what was listed before the failure and the program goes on.
void RunReportingScanFailure(const std::function<void()>& command);

// A banner file is exactly this long, and its name ends in ".bmp" in any case.
constexpr uint64_t kBannerFileSize = 1174;
bool IsBannerName(std::string_view name);

}  // namespace talvane
