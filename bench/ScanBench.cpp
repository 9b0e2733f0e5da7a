// Measures the scan and the list at 1,000 to 100,000 banners against the floor: the least
// any program must do to list the same folder, measured in the same run.
//
//   talvane_bench [N ...]        the table (default 1000 10000 100000)
//   talvane_bench --memory N     peak memory of one scan of N banners, bytes per banner
//   talvane_bench --scans N K    K warm scans of N banners and nothing else, for a profiler

#include <QAbstractItemView>
#include <QApplication>
#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "BenchFolders.h"
#include "app/FrmMain.h"
#include "app/FrmPreview.h"
#include "app/platform/Desktop.h"
#include "app/platform/ListItemsModel.h"
#include "catalogue/BannerReadAhead.h"
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
    std::optional<std::string> ChooseFolder(QWidget*, const QString&) override {
        return std::nullopt;
    }
};

void Flush() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
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

// The peak resident size of this process image. (getrusage's figure would carry over the
// peak of the benchmark that started this process.)
long PeakKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib;
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

// The floor with this many reads in flight, beside the floor in one thread: as many as the
// scan's reader threads.
constexpr int kParallelReads = BannerReadAhead::kMaxReaders;

// Scans the folder of N banners `count` times, warm, and nothing else (for a profiler);
// prints the median scan against the median floor.
int ScansMode(int banners, int count) {
    std::string folder = bench::BenchFolder(Root(), banners);
    ShowProgram();
    bench::Floor(folder);
    std::vector<double> scans, floors;
    for (int i = 0; i < count; ++i) {
        floors.push_back(Millis([&] { bench::Floor(folder); }));
        scans.push_back(Millis([&] { LoadBanners(folder); }));
    }
    std::printf("floor %.1f ms, scan %.1f ms, ratio %.2f\n", Median(floors), Median(scans),
                Median(scans) / Median(floors));
    return 0;
}

struct Times {
    double floor, parallelFloor, load;
};

struct Row {
    int banners;
    Times warm, cold;
    double paint, switchWorst, remove, removeShown, rename, renameShown, bytesPerBanner;
};

// The floor, the parallel floor and the scan, each the median of `runs`; with `cold`, the
// files' data is dropped from memory before each run of each.
Times MeasureScan(const std::string& folder, int runs, bool cold, std::vector<double>* paints) {
    std::vector<double> floors, parallelFloors, loads;
    auto prepare = [&] {
        if (cold) bench::EvictFileData(folder);
    };
    for (int r = 0; r < runs; ++r) {
        prepare();
        floors.push_back(Millis([&] { bench::Floor(folder); }));
        prepare();
        parallelFloors.push_back(Millis([&] { bench::ParallelFloor(folder, kParallelReads); }));
        prepare();
        loads.push_back(Millis([&] { LoadBanners(folder); }));
        if (paints) paints->push_back(Millis(PaintList));
    }
    return {Median(floors), Median(parallelFloors), Median(loads)};
}

Row Measure(int banners, int runs, const char* self) {
    Row row{};
    row.banners = banners;
    std::string folder = bench::BenchFolder(Root(), banners);
    bench::Floor(folder);  // warm the file cache

    std::vector<double> paints;
    row.warm = MeasureScan(folder, runs, false, &paints);
    row.paint = Median(paints);
    row.cold = MeasureScan(folder, runs, true, nullptr);
    bench::Floor(folder);  // warm again for what follows
    LoadBanners(folder);
    PaintList();

    FrmMain& form = frmMain();
    for (int16_t mode : {0, 1, 2, 3, 1}) {
        row.switchWorst = std::max(row.switchWorst, Millis([&] {
                                       form.mnuLView_Click(mode);
                                       PaintList();
                                   }));
    }

    ListItemsModel* model = form.lvwBanners->Model();
    std::vector<double> removes, removesShown, renames, renamesShown;
    for (int r = 0; r < runs; ++r) {
        int middle = model->rowCount() / 2;
        std::string key = model->Entry(ListItemsModel::SlotOf(model->index(middle))).key;
        // The routine alone, then what it leaves for the event loop (layout and repaint).
        removes.push_back(Millis([&] { RemoveBanner(key); }));
        removesShown.push_back(removes.back() + Millis(Flush));
        ListItem item = form.lvwBanners->ListItems().AtRow(model->rowCount() / 3);
        QString text = item.Text();
        form.lvwBanners->SetSelectedItem(item);
        int16_t cancel = 0;
        renames.push_back(Millis(
            [&] { form.lvwBanners_AfterLabelEdit(cancel, text + QStringLiteral("-renamed")); }));
        renamesShown.push_back(renames.back() + Millis(Flush));
        form.lvwBanners_AfterLabelEdit(cancel, text);  // and back, for the next run
        Flush();
    }
    row.remove = Median(removes);
    row.removeShown = Median(removesShown);
    row.rename = Median(renames);
    row.renameShown = Median(renamesShown);

    QProcess probe;
    probe.start(QString::fromLocal8Bit(self),
                {QStringLiteral("--memory"), QString::number(banners)});
    probe.waitForFinished(-1);
    if (probe.exitCode() != 0 || probe.exitStatus() != QProcess::NormalExit)
        std::fprintf(stderr, "memory probe failed: %s\n", qPrintable(probe.errorString()));
    QByteArray out = probe.readAllStandardOutput();
    row.bytesPerBanner = QString::fromLatin1(out).trimmed().toDouble();
    return row;
}

constexpr const char* kUsage =
    "usage: talvane_bench [BANNERS...]\n"
    "  Measures the scan and the list with folders of BANNERS banners each (1000, 10000 and\n"
    "  100000 when none is given) and prints the figures and their ratios.\n"
    "  --scans BANNERS RUNS   only the scan, RUNS times, warm\n"
    "  --memory BANNERS       the peak memory of one scan, in bytes per banner (used by the\n"
    "                         full run, in a process of its own)\n";

// A count of banners or runs: a whole number from 1 to 10 million, or nothing.
std::optional<int> CountArgument(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 10'000'000)
        return std::nullopt;
    return int(value);
}

int Refuse(const char* argument) {
    std::fprintf(stderr, "talvane_bench: not a count of banners or runs: '%s'\n%s", argument,
                 kUsage);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--help" || mode == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Every argument is checked before anything is measured.
    const int counts = mode == "--memory" ? 1 : mode == "--scans" ? 2 : -1;
    if (counts > 0 && argc != 2 + counts) {
        std::fprintf(stderr, "talvane_bench: %s takes %d count%s\n%s", mode.c_str(), counts,
                     counts > 1 ? "s" : "", kUsage);
        return 2;
    }
    std::vector<int> sizes;
    for (int i = counts > 0 ? 2 : 1; i < argc; ++i) {
        std::optional<int> count = CountArgument(argv[i]);
        if (!count) return Refuse(argv[i]);
        sizes.push_back(*count);
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UnattendedDesktop desktop;
    SetDesktop(&desktop);

    if (mode == "--memory") return MemoryMode(sizes[0]);
    if (mode == "--scans") return ScansMode(sizes[0], sizes[1]);
    if (sizes.empty()) sizes = {1000, 10000, 100000};

    ShowProgram();
    std::vector<Row> rows;
    std::printf("%9s %-36s %-36s %9s %10s %14s %14s %13s\n", "",
                "warm: floor / floor x32 / scan ms, ratio",
                "cold: floor / floor x32 / scan ms, ratio", "paint ms", "switch ms", "remove ms",
                "rename ms", "bytes/banner");
    std::printf("%9s %-36s %-36s %9s %10s %14s %14s %13s\n", "banners", "", "", "first", "worst",
                "alone/shown", "alone/shown", "peak");
    for (int banners : sizes) {
        Row r = Measure(banners, 5, argv[0]);
        auto times = [](const Times& t) {
            char text[64];
            std::snprintf(text, sizeof text, "%8.1f %8.1f %8.1f %5.2f", t.floor, t.parallelFloor,
                          t.load, t.load / t.floor);
            return std::string(text);
        };
        std::printf("%9d %-36s %-36s %9.1f %10.1f %6.2f/%7.2f %6.2f/%7.2f %13.0f\n", r.banners,
                    times(r.warm).c_str(), times(r.cold).c_str(), r.paint, r.switchWorst, r.remove,
                    r.removeShown, r.rename, r.renameShown, r.bytesPerBanner);
        std::fflush(stdout);
        rows.push_back(r);
    }
    std::printf(
        "\nratio: the scan against the floor in one thread; scan against the floor with %d reads "
        "in flight:",
        kParallelReads);
    for (const Row& r : rows)
        std::printf("  %d: warm %.2f, cold %.2f", r.banners, r.warm.load / r.warm.parallelFloor,
                    r.cold.load / r.cold.parallelFloor);
    std::printf(
        "\ntargets at 100000: warm ratio <= 0.75, cold ratio <= 0.35, paint and switch < 50 ms, "
        "remove and rename < 5 ms, <= 800 bytes/banner; at 1000 and 10000, warm ratio <= 1.3\n"
        "(remove and rename: the routine alone / until its layout and repaint are done)\n");
    return 0;
}
