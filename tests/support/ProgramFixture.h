#pragma once
// A test of the whole program in this process: its real windows on the offscreen platform,
// driven with real clicks and keys, with only the modal dialogs answered by the test.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "app/FrmPreview.h"
#include "support/BannerFiles.h"
#include "support/ListRows.h"
#include "support/QtPrinters.h"
#include "support/ScriptedDesktop.h"

class QAbstractItemView;
class QAction;

namespace talvane::test {

// While it lives, temporary folders are made in a folder of its own (TMPDIR, and
// XDG_RUNTIME_DIR for what Qt keeps at run time), which it then removes with whatever a
// death test's child left there: a child that is killed, or that ends without unwinding,
// removes nothing of its own. It is made in `in` where that may be written, unless TMPDIR
// is there already (as in the child).
class ChildScratch {
public:
    explicit ChildScratch(const char* in = nullptr);
    ~ChildScratch();
    ChildScratch(const ChildScratch&) = delete;
    ChildScratch& operator=(const ChildScratch&) = delete;

private:
    QByteArray tmp_, runtime_;
    std::optional<TempFolder> folder_;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program as its entry routine does; the first folder dialog is answered
    // with `folder` (nullopt: cancelled).
    void Start(const std::optional<std::string>& folder);
    // Writes `names` into `folder` as banners drawn from seeds 1, 2, ..., and starts the
    // program on it.
    void StartOnBanners(const TempFolder& folder, const std::vector<std::string>& names);
    // Lets the event loop run what is pending (sorting, repaints, deferred deletions).
    static void Flush();

    FrmMain& Main() { return frmMain(); }
    ListView& List() { return *frmMain().lvwBanners; }
    QAbstractItemView* View();
    QString Panel(int index);
    // The entries' texts in the order the list shows them.
    std::vector<QString> Texts();
    // The key of the entry showing `text`.
    std::string KeyOf(const QString& text);

    // What a window manager does before the user's click or key reaches the main window:
    // the main window is the active one. (The offscreen platform activates every window
    // it shows, the preview tool window too, which a window manager does not do.)
    static void ActivateMain();
    // Real mouse and keyboard input on the list.
    void Click(const QString& text);
    void DoubleClick(const QString& text);
    void ClickEmptySpace();
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Chooses `item` through the menu bar with the keyboard: the menu's access key, then
    // the item's own access key, or the arrow keys where it has none.
    void ChooseMenu(QAction* item);

    // The editor of the in-place edit, if one is open.
    QWidget* Editor();
    // Types `text` into the open editor, replacing what it holds.
    void TypeIntoEditor(const QString& text);

    // The statement of a death test, in the child: runs `half`, lets the program go as the end
    // of a test does, and ends the process with 0, or with 1 once each check that failed in
    // `half` or on the way out is written to standard error (which the death test shows when
    // the status is not the one it expects). What the child needs is best made in `half`: the
    // process ends without unwinding the test that holds it.
    [[noreturn]] void RunThenExit(const std::function<void()>& half);

    // Runs the disabled test `name` of this test program in a process of its own, started
    // through the command `prefix` (to change its user or limits), with `folder` in
    // TALVANE_TEST_FOLDER; its exit code (-1 when it ended by a signal). What it writes to
    // standard error goes to `standardError` when given.
    static int RunDisabledTest(const QStringList& prefix, const char* name,
                               const std::string& folder, QByteArray* standardError = nullptr);

    ScriptedDesktop desktop;
    int programEnded = 0;
};

}  // namespace talvane::test
