// Thousands of random user actions, with the folder changed behind the program's back
// between them. After every step the disk is checked against what the action may do (no
// file changes, disappears or moves unless the user asked for exactly that) and the list,
// the image store and the status bar against the rules that tie them together.
//
// TALVANE_SEED and TALVANE_STEPS choose another run; a failure prints the seed and step.

#include <cstdio>
#include <cstdlib>

#include "catalogue/StateMachineFixture.h"

namespace talvane::test {

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

namespace {

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
