// Thousands of random user actions, with the folder changed behind the program's back
// between them. After every step the disk is checked against what the action may do (no
// file changes, disappears or moves unless the user asked for exactly that) and the list,
// the image store and the status bar against the rules that tie them together.
//
// TALVANE_SEED and TALVANE_STEPS choose another run; a failure prints the seed and step.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "app/platform/ListItemsModel.h"
#include "app/platform/Names.h"
#include "catalogue/MainModule.h"
#include "support/FaultFs.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

struct Entry {
    char kind;  // 'f' regular file, 'd' folder, 'o' anything else
    QByteArray bytes;
    bool readOnly;
    ino_t ino = 0;  // not compared: links to one file share it
    bool operator==(const Entry& o) const {
        return kind == o.kind && bytes == o.bytes && readOnly == o.readOnly;
    }
};
using Disk = std::map<std::string, Entry>;

class StateMachineTest : public ProgramTest {
protected:
    Disk Read() {
        Disk disk;
        std::error_code ec;
        if (!std::filesystem::is_directory(path, ec)) return disk;
        for (const auto& item : std::filesystem::directory_iterator(path, ec)) {
            std::string name = item.path().filename().string();
            struct stat st {};
            if (::lstat(item.path().c_str(), &st) != 0) continue;
            Entry e{'o', {}, false, st.st_ino};
            if (S_ISREG(st.st_mode)) {
                e.kind = 'f';
                e.bytes = ReadFileBytes(item.path().string());
                e.readOnly = (st.st_mode & 0222) == 0;
            } else if (S_ISDIR(st.st_mode)) {
                e.kind = 'd';
            }
            disk[name] = e;
        }
        return disk;
    }

    static std::string Describe(const Disk& before, const Disk& after) {
        std::string out;
        for (const auto& [name, e] : before)
            if (!after.count(name) || !(after.at(name) == e))
                out += " -" + name + "(" + e.kind + ")";
        for (const auto& [name, e] : after)
            if (!before.count(name) || !(before.at(name) == e))
                out += " +" + name + "(" + e.kind + ")";
        return out;
    }

    std::string Pick(const std::vector<std::string>& from) { return from[rng() % from.size()]; }

    std::string RandomName() {
        static const std::vector<std::string> stems = {"Sun", "Moon",      "Star",     "sky",
                                                       "Sky", "banner2",   "banner10", "a b",
                                                       "-x",  "\xE9t\xE9", ""};
        static const std::vector<std::string> exts = {".bmp", ".BMP", ".Bmp", ".gif", ""};
        return Pick(stems) + (rng() % 3 ? ".bmp" : Pick(exts));
    }

    void Write(const std::string& name, const QByteArray& bytes) {
        std::string file = path + "/" + name;
        ::unlink(file.c_str());
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        if (::write(fd, bytes.constData(), size_t(bytes.size())) < 0) {
        }
        ::close(fd);
    }

    // Something another program does to the folder.
    void OutsideChange() {
        std::error_code ec;
        Disk disk = Read();
        std::vector<std::string> names;
        for (const auto& [name, e] : disk) names.push_back(name);
        std::string victim = names.empty() ? std::string() : path + "/" + Pick(names);
        switch (rng() % 10) {
            case 0:
                if (!victim.empty()) std::filesystem::remove_all(victim, ec);
                break;
            case 1:
            case 2:
                Write(RandomName(), BannerBytes(int(rng() % 1000)));
                break;
            case 3:
                if (!victim.empty()) ::rename(victim.c_str(), (path + "/" + RandomName()).c_str());
                break;
            case 4:
                if (!victim.empty()) ::truncate(victim.c_str(), 1000);
                break;
            case 5:
                if (!victim.empty()) ::chmod(victim.c_str(), rng() % 2 ? 0444 : 0644);
                break;
            case 6:
                if (!victim.empty()) {
                    std::filesystem::remove_all(victim, ec);
                    ::mkdir(victim.c_str(), 0755);
                }
                break;
            case 7:
                if (!victim.empty()) {
                    std::filesystem::remove_all(victim, ec);
                    ::mkfifo(victim.c_str(), 0644);
                }
                break;
            case 8:
                if (rng() % 2 && !victim.empty())
                    ::link(victim.c_str(),
                           (path + "/" + RandomName()).c_str());  // another name, the same file
                else if (rng() % 5 == 0)
                    Write(RandomName(), QByteArray(1174, 'g'));
                break;
            default:
                if (rng() % 4 == 0) {
                    std::filesystem::remove_all(path, ec);
                    if (rng() % 2) ::mkdir(path.c_str(), 0755);
                } else if (!std::filesystem::exists(path, ec)) {
                    ::mkdir(path.c_str(), 0755);
                }
                break;
        }
    }

    QString RandomText() {
        switch (rng() % 9) {
            case 0:
                return QString();
            case 1:
                return QStringLiteral("a/b");
            case 2:
                return QStringLiteral("../up");
            case 3:
                return QString(300, QChar('x'));
            case 4:
                return QString::fromUtf8("\xC3\xA9t\xC3\xA9");
            case 5: {
                auto rows = Rows();
                return rows.empty() ? QStringLiteral("x")
                                    : List()
                                          .Model()
                                          ->data(rows[rng() % rows.size()], Qt::DisplayRole)
                                          .toString();
            }
            default: {
                QString text;
                int length = 1 + int(rng() % 8);
                for (int i = 0; i < length; ++i) text += QChar(u"abcXYZ019 _-"[rng() % 12]);
                return text;
            }
        }
    }

    std::vector<QModelIndex> Rows() {
        Flush();
        std::vector<QModelIndex> rows;
        for (int r = 0; r < List().Model()->rowCount(); ++r)
            rows.push_back(List().Model()->index(r));
        return rows;
    }

    // Clicks a random entry; the key of the entry clicked, or "" when the list is empty.
    std::string ClickSomeEntry() {
        auto rows = Rows();
        if (rows.empty()) return {};
        QModelIndex index = rows[rng() % rows.size()];
        std::string key = List().Model()->Entry(ListItemsModel::SlotOf(index)).key;
        ActivateMain();
        View()->scrollTo(index);
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          View()->visualRect(index).center());
        Flush();
        return key;
    }

    std::set<std::string> ListedKeys() {
        std::set<std::string> keys;
        for (const QModelIndex& index : Rows())
            keys.insert(List().Model()->Entry(ListItemsModel::SlotOf(index)).key);
        return keys;
    }

    // The name the program gives a file whose entry text was edited to `text`.
    static std::string EditedName(const QString& text, const std::string& current) {
        const std::string stem = Stem(current);
        return (DisplayName(stem) == text ? stem : NameFromText(text)) + ".bmp";
    }

    static std::string Stem(const std::string& name) {
        return name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
    }

    void CheckList(bool scanFinished, const Disk& disk) {
        std::set<std::string> keys;
        for (const QModelIndex& index : Rows()) {
            const ListEntry& e = List().Model()->Entry(ListItemsModel::SlotOf(index));
            keys.insert(e.key);
            ASSERT_EQ(e.key.rfind(path + "/", 0), 0u) << e.key;
            ASSERT_EQ(e.Icon(), e.key);
            ASSERT_EQ(e.SmallIcon(), e.key);
            ASSERT_TRUE(Main().ilsMain->Has(e.key)) << "entry without its picture";
            ASSERT_EQ(e.Text(), DisplayName(Stem(BaseName(e.key))));
        }
        if (Panel(1) == "Banners Loaded") {
            ASSERT_EQ(Panel(3), QString("%1 Banners").arg(keys.size()));
        }
        QImage preview = frmPreview().imgBanner->Picture();
        if (!preview.isNull()) {
            ASSERT_EQ(preview.size(), QSize(12, 8));
        }
        if (!scanFinished) return;
        std::set<std::string> banners;
        for (const auto& [name, e] : disk)
            if (e.kind == 'f' && e.bytes.size() == 1174 && IsBannerName(name))
                banners.insert(path + "/" + name);
        ASSERT_EQ(keys, banners) << "a finished scan lists exactly the banners on disk";
    }

    // Chooses what the file system does to the next scan: names listed twice, a file that
    // goes and one cut short when they are opened.
    void Disturb(FaultFs& fs, const Disk& disk, std::vector<std::string>& gone,
                 std::vector<std::string>& cut) {
        std::vector<std::string> names;
        for (const auto& [name, e] : disk)
            if (std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 127; }))
                names.push_back(name);  // words of the rules file
        if (names.empty()) return;
        std::string rules;
        for (int i = 0, n = int(rng() % 3); i < n; ++i)
            rules += "readdir * repeat " + Pick(names) + "\n";
        if (rng() % 2) {
            gone.push_back(Pick(names));
            rules += "open " + gone.back() + " vanish\n";
        }
        // A file with one name only: cut short through another name once it has been read
        // by this one, it is rightly listed though no longer a banner.
        std::erase_if(names, [&](const std::string& name) {
            return std::count_if(disk.begin(), disk.end(), [&](const auto& other) {
                       return other.second.ino == disk.at(name).ino;
                   }) > 1;
        });
        if (!names.empty() && rng() % 2) {
            cut.push_back(Pick(names));
            rules += "open " + cut.back() + " shrink " + std::to_string(rng() % 1174) + "\n";
        }
        fs.SetRules(rules);
    }

    void Run(const std::string& root, FaultFs* fs);

    std::mt19937 rng;
    TempFolder folder;
    std::string path;
};

// Runs the steps in `root`. On a failing file system `fs`, each scan also meets a listing
// that names a file twice, a file that goes and one that is cut short between the look at
// it and its read.
void StateMachineTest::Run(const std::string& root, FaultFs* fs) {
    const char* seedText = std::getenv("TALVANE_SEED");
    const char* stepsText = std::getenv("TALVANE_STEPS");
    const unsigned seed = seedText ? unsigned(std::strtoul(seedText, nullptr, 10)) : 20261207u;
    const int steps = stepsText ? std::atoi(stepsText) : fs ? 1500 : 5000;
    rng.seed(seed);
    path = root + "/banners";
    ::mkdir(path.c_str(), 0755);
    for (const char* name : {"Sun.bmp", "Moon.BMP", "Star.bmp", "banner2.bmp", "banner10.bmp"})
        Write(name, BannerBytes(int(rng() % 1000)));
    Start(path);
    int vanished = 0, shrunk = 0;  // files the failing file system took away or cut short

    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE(testing::Message() << "TALVANE_SEED=" << seed << " step " << step);
        if (rng() % 10 < 3) OutsideChange();
        Disk before = Read();
        desktop.boxes.clear();
        desktop.answers.clear();
        bool scanned = false;
        enum { Unchanged, MayDelete, MayRename, MayRenameThenDelete } allowed = Unchanged;
        std::string key;
        QString text;
        unsigned ending = 9;
        bool committed = false;  // an edit ended keeping its text
        const std::set<std::string> listedBefore = ListedKeys();

        const unsigned action = rng() % 13;
        SCOPED_TRACE(testing::Message() << "action " << action);
        std::vector<std::string> gone, cut;
        if (fs && (action <= 1 || action == 11)) Disturb(*fs, before, gone, cut);
        switch (action) {
            case 0:
                Press(Qt::Key_F5);
                scanned = true;
                break;
            case 1:
                desktop.folders.push_back(rng() % 4 ? std::optional<std::string>(path)
                                                    : std::nullopt);
                scanned = desktop.folders.back().has_value();
                ChooseMenu(Main().mnuNew);
                break;
            case 2:
            case 3:
                ClickSomeEntry();
                break;
            case 4:
            case 5:
            case 6: {
                key = ClickSomeEntry();
                if (key.empty()) break;
                Press(Qt::Key_F2);
                if (!Editor()) break;
                text = RandomText();
                if (rng() % 4 == 0) {
                    // Onto the name of another entry whose file another program deletes now.
                    auto rows = Rows();
                    std::string other =
                        List()
                            .Model()
                            ->Entry(ListItemsModel::SlotOf(rows[rng() % rows.size()]))
                            .key;
                    if (other != key) {
                        text = DisplayName(Stem(BaseName(other)));
                        ::unlink(other.c_str());
                    }
                }
                before = Read();
                TypeIntoEditor(text);
                ending = rng() % 4;
                switch (ending) {
                    case 0:
                        Press(Qt::Key_Escape);
                        break;
                    case 1:
                        // A click on the entry being edited lands in its editor: end it then.
                        ClickSomeEntry();
                        if (Editor()) Press(Qt::Key_Return);
                        allowed = MayRename;
                        committed = true;
                        break;
                    default:
                        Press(Qt::Key_Return);
                        allowed = MayRename;
                        committed = true;
                        break;
                }
                break;
            }
            case 12: {
                // File > Delete while an edit is open: the edit ends first.
                key = ClickSomeEntry();
                if (key.empty()) break;
                Press(Qt::Key_F2);
                if (!Editor()) break;
                text = RandomText();
                TypeIntoEditor(text);
                desktop.answers = {vbNo, vbNo};
                if (rng() % 2) desktop.answers = {vbYes, vbYes};
                ChooseMenu(Main().mnuDelete);
                allowed = MayRenameThenDelete;
                break;
            }
            case 7:
            case 8:
                key = ClickSomeEntry();
                if (key.empty()) break;
                desktop.answers = {rng() % 2 ? vbYes : vbNo};
                if (desktop.answers.front() == vbYes) allowed = MayDelete;
                Press(Qt::Key_Delete);
                break;
            case 9:
                ChooseMenu(Main().mnuLView[rng() % 4]);
                break;
            case 10:
                if (rng() % 2)
                    frmPreview().close();
                else
                    ChooseMenu(Main().mnuPreview);
                Flush();
                break;
            default:
                if (rng() % 20 == 0) {  // quit and start again
                    Unload(Main());
                    Flush();
                    Start(path);
                    scanned = true;
                }
                break;
        }
        Flush();
        if (fs) fs->SetRules("");
        const Disk after = Read();
        if (fs) {
            // What the file system did behind the program's back, as another program would.
            for (const std::string& name : gone)
                if (!after.count(name)) vanished += before.erase(name);
            for (const std::string& name : cut)
                if (after.count(name) && before.count(name) && !(after.at(name) == before.at(name)))
                    before[name] = after.at(name), ++shrunk;
            // Nothing else can fail a scan of a folder that is there, but a banner's size
            // filled with something else than a picture.
            std::error_code ec;
            if (scanned && std::filesystem::is_directory(path, ec) && !desktop.boxes.empty() &&
                !desktop.boxes.front().prompt.contains("Invalid picture")) {
                ASSERT_TRUE(desktop.boxes.empty())
                    << "a name listed twice, or a file gone or changed since the look, failed "
                       "the scan: "
                    << desktop.boxes.front().prompt.toStdString();
            }
        }
        if (std::getenv("TALVANE_TRACE"))
            std::fprintf(stderr, "step %d action %u/%u key %s text %s editor %d boxes %d\n", step,
                         action, ending, key.c_str(), text.toStdString().c_str(),
                         Editor() != nullptr, int(desktop.boxes.size()));
        if (std::getenv("TALVANE_TRACE"))
            for (const auto& box : desktop.boxes)
                std::fprintf(stderr, "  box: %s\n", box.prompt.toStdString().c_str());

        bool errorShown = false;
        for (const auto& box : desktop.boxes)
            errorShown = errorShown || (box.style & 0x0F) != vbYesNo;
        // An error means nothing on disk changed; an edit that ended without one renamed its
        // file, and the list shows it.
        if (allowed == MayRename || allowed == MayDelete) {
            ASSERT_TRUE(!errorShown || after == before)
                << "an error was reported, yet the disk changed:" << Describe(before, after) << " "
                << desktop.boxes.back().prompt.toStdString();
        }
        if (allowed == MayRename && committed && !errorShown) {
            const std::string newName = EditedName(text, BaseName(key));
            if (newName != BaseName(key)) {
                ASSERT_TRUE(after.count(newName) && !after.count(BaseName(key)))
                    << "a rename reported as done was not done: " << newName;
                ASSERT_TRUE(ListedKeys().count(path + "/" + newName))
                    << "the renamed file is not listed";
            }
        }
        // Only a scan, a deletion or a rename takes an entry away while its file is still there.
        if (!scanned) {
            const std::set<std::string> listedAfter = ListedKeys();
            for (const std::string& listed : listedBefore) {
                if (listed == key || listedAfter.count(listed)) continue;
                ASSERT_FALSE(after.count(BaseName(listed)))
                    << "an entry left the list while its file stayed: " << listed;
            }
        }
        if (allowed == MayRenameThenDelete) {
            // The edit ends first and may rename its file; the question then names the banner
            // as the edit left it, and a Yes deletes that file alone.
            const std::string name = BaseName(key), newName = EditedName(text, name);
            std::string current = name;
            Disk expected = before;
            const bool renameFailed = std::any_of(
                desktop.boxes.begin(), desktop.boxes.end(),
                [](const auto& box) { return box.prompt.startsWith("Error renaming file: "); });
            if (newName != name && before.count(name) && !renameFailed) {
                expected[newName] = before.at(name);
                expected.erase(name);
                current = newName;
            }
            Disk deleted = expected;
            deleted.erase(current);
            ASSERT_TRUE(after == expected || after == deleted)
                << "delete during an edit:" << Describe(before, after);
            auto question =
                std::find_if(desktop.boxes.begin(), desktop.boxes.end(),
                             [](const auto& box) { return (box.style & 0x0F) == vbYesNo; });
            if (question != desktop.boxes.end()) {
                ASSERT_EQ(question->prompt, "You are sure you wish to delete the banner named " +
                                                DisplayName(Stem(current)) + ".bmp?");
            }
            if (after == deleted && after != expected) {
                ASSERT_NE(question, desktop.boxes.end());
            }
            allowed = Unchanged;
            before = after;  // checked
        }

        // What the disk may look like now.
        if (after != before) {
            std::string name = key.empty() ? std::string() : BaseName(key);
            auto was = before.find(name);
            ASSERT_NE(allowed, Unchanged)
                << "the disk changed without the user asking:" << Describe(before, after);
            ASSERT_NE(was, before.end()) << "changed a file the user did not point at";
            if (allowed == MayDelete) {
                Disk expected = before;
                expected.erase(name);
                ASSERT_EQ(after, expected)
                    << "only the confirmed banner may go: clicked " << key << " asked "
                    << (desktop.boxes.empty() ? std::string()
                                              : desktop.boxes[0].prompt.toStdString())
                    << Describe(before, after);
                ASSERT_FALSE(was->second.kind == 'f' && was->second.readOnly)
                    << "deleted a read-only file";
            } else {
                std::set<std::string> candidates = {NameFromText(text) + ".bmp",
                                                    Stem(name) + ".bmp"};
                bool matched = false;
                for (const std::string& newName : candidates) {
                    if (before.count(newName)) continue;  // never onto an existing name
                    Disk expected = before;
                    expected[newName] = was->second;
                    expected.erase(name);
                    matched = matched || after == expected;
                }
                ASSERT_TRUE(matched) << "a rename may only give the edited file its new name";
            }
        }
        for (const auto& box : desktop.boxes) {
            if ((box.style & 0x0F) == vbYesNo) continue;
            ASSERT_TRUE(box.prompt.startsWith("Error ")) << box.prompt.toStdString();
        }
        bool scanFinished = scanned && desktop.boxes.empty() && Panel(1) == "Banners Loaded";
        CheckList(scanFinished, after);
        if (HasFailure()) break;
    }
    if (fs) {
        std::printf("%d files vanished and %d were cut short mid-scan\n", vanished, shrunk);
        EXPECT_GT(vanished, 0);
        EXPECT_GT(shrunk, 0);
    }
}

TEST_F(StateMachineTest, RandomActionsAndOutsideChangesNeverLoseMoveOrOverwriteAFile) {
    Run(folder.Path(), nullptr);
}

TEST_F(StateMachineTest, AFileSystemThatRepeatsNamesAndLosesFilesMidScanLosesNothingElse) {
    FaultFs fs;
    MOUNT_FAULT_FS_OR_SKIP(fs);
    Run(fs.Folder(), &fs);
}

}  // namespace
}  // namespace talvane::test
