#include "catalogue/MainModule.h"

#include "app/FrmMain.h"
#include "app/FrmPreview.h"
#include "app/platform/ListItemsModel.h"
#include "app/platform/LoadPicture.h"
#include "app/platform/MsgBox.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/BannerReadAhead.h"
#include "catalogue/FileSystemObject.h"
#include "shell/ShellBrowseModule.h"

namespace talvane {

void Main(const std::string& folderPath) {
    frmMain().Show();
    frmPreview().Show(&frmMain());
    LoadBanners(folderPath);
}

bool IsBannerName(std::string_view name) {
    if (name.size() < 4) return false;
    std::string ext(name.substr(name.size() - 4));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".bmp";
}

void LoadBanners(std::string folderPath) {
    FrmMain& form = frmMain();
    if (folderPath.empty())
        folderPath = BrowseForFolder(
            form.hWnd(), QStringLiteral("Select a folder containing the banners to view."));
    if (folderPath.empty()) return;

    form.lvwBanners->SetTag(folderPath);
    form.lvwBanners->ListItems().Clear();
    form.lvwBanners->SetIcons(nullptr);
    form.lvwBanners->SetSmallIcons(nullptr);
    form.ilsMain->ListImages().Clear();
    ShowPreview("");
    SetStatusText(QStringLiteral("Loading Banners"), 1);

    FileSystemObject fso;
    std::unique_ptr<FsFolder> folder = fso.GetFolder(folderPath);
    // The banners are looked at, read and decoded ahead of this loop, many at a time, and
    // come to it in the folder's order.
    BannerReadAhead banners(*folder, IsBannerName, kBannerFileSize);
    FsFile file;
    while (banners.NextFile(file)) {
        std::string_view name = file.Name();
        if (file.Size() != kBannerFileSize || !IsBannerName(name)) continue;
        QString text = DisplayName(name.substr(0, name.size() - 4));
        form.picBanner->SetPicture(banners.LoadPicture(file));
        form.ilsMain->ListImages().Add(file.Path(), form.picBanner->Picture());
        if (!form.lvwBanners->Icons()) {
            form.lvwBanners->SetIcons(form.ilsMain);
            form.lvwBanners->SetSmallIcons(form.ilsMain);
        }
        form.lvwBanners->ListItems().Add(file.Path(), text, file.Path(), file.Path());
    }

    SetStatusText(QStringLiteral("Banners Loaded"), 1);
    SetStatusText(QString(), 2);
    SetStatusText(QStringLiteral("%1 Banners").arg(form.lvwBanners->ListItems().Count()), 3);
}

void SetStatusText(const QString& text, int16_t panelIndex) {
    StatusBar* bar = frmMain().sbStatusBar;
    bar->Panels(panelIndex).SetText(text);
    bar->Refresh();
}

namespace {

// A screen reader names the preview for the banner it shows.
void NamePreview(const std::string& key) {
    QString name = QStringLiteral("Banner");
    if (!key.empty()) {
        // The entry's text, or the file's name where the entry has gone.
        std::string_view file = BaseNameView(key);
        name = DisplayName(file.substr(0, file.size() >= 4 ? file.size() - 4 : 0));
        ListView& list = *frmMain().lvwBanners;
        if (list.Model()->Find(key)) name = list.ListItems()(key).Text();
    }
    if (frmPreview().imgBanner->accessibleName() != name)
        frmPreview().imgBanner->setAccessibleName(name);
}

}  // namespace

void ShowPreview(const std::string& key) {
    if (key.empty()) {
        frmPreview().imgBanner->SetPicture(QImage());
        NamePreview("");
        return;
    }
    try {
        frmPreview().imgBanner->SetPicture(frmMain().ilsMain->ListImages()(key).Picture());
        NamePreview(key);
    } catch (const RuntimeError&) {
        frmPreview().imgBanner->SetPicture(QImage());
        NamePreview("");
    }
}

void RemoveBanner(const std::string& key) {
    FrmMain& form = frmMain();
    form.lvwBanners->ListItems().Remove(key);
    ShowPreview("");
    SetStatusText(QStringLiteral("%1 Banners").arg(form.lvwBanners->ListItems().Count()), 3);
}

void RunReportingScanFailure(const std::function<void()>& command) {
    RunEventHandler([&] {
        try {
            command();
        } catch (const RuntimeError& error) {
            MsgBox(QStringLiteral("Error loading banners: ") + error.Description(),
                   vbOKOnly | vbCritical, AppTitle());
        }
    });
}

}  // namespace talvane
