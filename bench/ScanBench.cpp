// Measures the scan and the list at 1,000 to 100,000 banners against the floor: the least
// any program must do to list the same folder, measured in the same run.
//
//   talvane_bench [N ...]        the table (default 1000 10000 100000)
//   talvane_bench --memory N     peak memory of one scan of N banners, bytes per banner

#include <QAbstractItemView>
#include <QApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include "BenchFolders.h"
#include "app/FrmMain.h"
#include "app/FrmPreview.h"
#include "app/platform/Desktop.h"
#include "app/platform/ListItemsModel.h"
#include "catalogue/MainModule.h"

using namespace talvane;
using Clock = std::chrono::steady_clock;

namespace {

// Message boxes are printed and answered OK: a benchmark never waits for a person.
class UnattendedDesktop : public Desktop {
public:
    int MessageBox(QWidget*, const QString& prompt, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return vbOK;
    }
    std::optional<std::string> ChooseFolder(QWidget*, const QString&) override { return std::nullopt; }
};

void Flush() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double Millis(const std::function<void()>& work) {
    auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long PeakKiB() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void PaintList() {
    Flush();  // puts the rows in order and lays them out
    frmMain().lvwBanners->ActiveView()->viewport()->repaint();
}

std::string Root() {
    const char* root = std::getenv("TALVANE_BENCH_DIR");
    return root && *root ? root : "/tmp/talvane-bench";
}

void ShowProgram() {
    frmMain().Show();
    frmPreview().Show(&frmMain());
    Flush();
}

int MemoryMode(int banners) {
    std::string folder = bench::BenchFolder(Root(), banners);
    ShowProgram();
    long before = PeakKiB();
    LoadBanners(folder);
    PaintList();
    long after = PeakKiB();
    std::printf("%.0f\n", double(after - before) * 1024.0 / banners);
    return 0;
}

struct Row {
    int banners;
    double floor, load, paint, switchWorst, remove, rename, bytesPerBanner;
};

Row Measure(int banners, int runs, const char* self) {
    Row row{};
    row.banners = banners;
    std::string folder = bench::BenchFolder(Root(), banners);
    bench::Floor(folder);  // warm the file cache

    std::vector<double> floors, loads, paints;
    for (int r = 0; r < runs; ++r) {
        floors.push_back(Millis([&] { bench::Floor(folder); }));
        loads.push_back(Millis([&] { LoadBanners(folder); }));
        paints.push_back(Millis(PaintList));
    }
    row.floor = Median(floors);
    row.load = Median(loads);
    row.paint = Median(paints);

    FrmMain& form = frmMain();
    for (int16_t mode : {0, 1, 2, 3, 1}) {
        row.switchWorst = std::max(row.switchWorst, Millis([&] {
                                       form.mnuLView_Click(mode);
                                       PaintList();
                                   }));
    }

    ListItemsModel* model = form.lvwBanners->Model();
    std::vector<double> removes, renames;
    for (int r = 0; r < runs; ++r) {
        int middle = model->rowCount() / 2;
        std::string key = model->Entry(ListItemsModel::SlotOf(model->index(middle))).key;
        removes.push_back(Millis([&] {
            RemoveBanner(key);
            PaintList();
        }));
        ListItem item = form.lvwBanners->ListItems().AtRow(model->rowCount() / 3);
        QString text = item.Text();
        form.lvwBanners->SetSelectedItem(item);
        int16_t cancel = 0;
        renames.push_back(Millis([&] {
            form.lvwBanners_AfterLabelEdit(cancel, text + QStringLiteral("-renamed"));
            PaintList();
        }));
        form.lvwBanners_AfterLabelEdit(cancel, text);  // and back, for the next run
        Flush();
    }
    row.remove = Median(removes);
    row.rename = Median(renames);

    QProcess probe;
    probe.start(QString::fromLocal8Bit(self), {QStringLiteral("--memory"), QString::number(banners)});
    probe.waitForFinished(-1);
    row.bytesPerBanner = QString::fromLatin1(probe.readAllStandardOutput()).trimmed().toDouble();
    return row;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UnattendedDesktop desktop;
    SetDesktop(&desktop);

    if (argc == 3 && std::string(argv[1]) == "--memory") return MemoryMode(std::atoi(argv[2]));

    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 10000, 100000};

    ShowProgram();
    std::printf("%9s %10s %10s %7s %11s %11s %10s %10s %12s\n", "banners", "floor ms", "scan ms", "ratio",
                "paint ms", "switch ms", "remove ms", "rename ms", "bytes/banner");
    for (int banners : sizes) {
        Row r = Measure(banners, 5, argv[0]);
        std::printf("%9d %10.1f %10.1f %7.2f %11.1f %11.1f %10.2f %10.2f %12.0f\n", r.banners, r.floor,
                    r.load, r.load / r.floor, r.paint, r.switchWorst, r.remove, r.rename, r.bytesPerBanner);
        std::fflush(stdout);
    }
    std::printf("targets at 100000: ratio <= 1.5, paint and switch < 50 ms, remove and rename < 5 ms, "
                "<= 800 bytes/banner\n");
    return 0;
}
