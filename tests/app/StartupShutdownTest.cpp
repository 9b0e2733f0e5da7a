// Start-up, the two windows and their layout, and shutdown.

#include <signal.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "app/platform/RuntimeError.h"
#include "app/platform/Screen.h"
#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class StartupTest : public ProgramTest {};

TEST_F(StartupTest, BothWindowsComeUpAsDescribedWithThePreviewOwnedByTheMainWindow) {
    Start(std::nullopt);
    FrmMain& main = Main();
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.windowTitle(), "Talvane");
    EXPECT_FALSE(main.windowIcon().isNull());
    EXPECT_EQ(main.windowIcon().availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));

    FrmPreview& preview = frmPreview();
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.parentWidget(), &main);
    EXPECT_EQ(preview.windowTitle(), "Banner Preview");
    EXPECT_EQ(preview.windowType(), Qt::Tool);
    EXPECT_FALSE(preview.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(preview.size(), QSize(98, 40));
    EXPECT_EQ(preview.minimumSize(), preview.maximumSize());
    EXPECT_EQ(preview.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(preview.imgBanner->geometry(), QRect(32, 8, 36, 24));
    EXPECT_TRUE(preview.imgBanner->Stretch());
    EXPECT_TRUE(preview.imgBanner->Picture().isNull());
}

TEST_F(StartupTest, ControlsStartWithTheirSettings) {
    Start(std::nullopt);
    FrmMain& main = Main();
    EXPECT_EQ(main.lvwBanners->View(), lvwSmallIcon);
    EXPECT_EQ(main.lvwBanners->Icons(), main.ilsMain);
    EXPECT_EQ(main.lvwBanners->SmallIcons(), main.ilsMain);
    EXPECT_EQ(main.lvwBanners->pos(), QPoint(0, 0));
    EXPECT_EQ(main.ilsMain->ImageWidth(), 12);
    EXPECT_EQ(main.ilsMain->ImageHeight(), 8);
    // The picture loader lies wholly outside the client area.
    EXPECT_LT(main.picBanner->geometry().right(), 0);

    const char* keys[] = {"Status", "Path", "Count"};
    const char* texts[] = {"Ready", "", ""};
    const char* tips[] = {"", "Selected Item", ""};
    ASSERT_EQ(main.sbStatusBar->PanelCount(), 3);
    for (int i = 1; i <= 3; ++i) {
        talvane::Panel& panel = main.sbStatusBar->Panels(i);
        EXPECT_EQ(panel.Key(), keys[i - 1]);
        EXPECT_EQ(panel.Text(), texts[i - 1]);
        EXPECT_EQ(panel.ToolTipText(), tips[i - 1]);
    }
    EXPECT_THROW(main.sbStatusBar->Panels(0), RuntimeError);
    EXPECT_THROW(main.sbStatusBar->Panels(4), RuntimeError);
}

TEST_F(StartupTest, TheListFillsTheClientAreaDownToTwoPixelsAboveTheStatusBar) {
    Start(std::nullopt);
    FrmMain& main = Main();
    for (QSize size : {QSize(640, 480), QSize(300, 200), QSize(1200, 900)}) {
        main.resize(size);
        Flush();
        QWidget* client = main.Client();
        SCOPED_TRACE(size.width());
        EXPECT_EQ(main.lvwBanners->geometry().topLeft(), QPoint(0, 0));
        EXPECT_EQ(main.lvwBanners->width(), client->width());
        EXPECT_EQ(main.sbStatusBar->geometry().bottom(), client->height() - 1);
        EXPECT_EQ(main.sbStatusBar->width(), client->width());
        EXPECT_EQ(main.sbStatusBar->y() - (main.lvwBanners->y() + main.lvwBanners->height()), 2);
        // Each status panel is at least 1440 twips wide.
        for (int i = 1; i <= 3; ++i)
            EXPECT_GE(main.sbStatusBar->findChildren<QWidget*>().at(i - 1)->width(), 96);
    }
}

TEST_F(StartupTest, AWindowLowerThanTheStatusBarIsLaidOutWithoutAMessage) {
    Start(std::nullopt);
    FrmMain& main = Main();
    int before = main.lvwBanners->height();
    main.resize(400, 5);
    Flush();
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_EQ(main.lvwBanners->width(), main.Client()->width());
    EXPECT_LE(main.lvwBanners->height(), before);
}

TEST_F(StartupTest, AScreenReaderHearsWhatIsShownNotTheControlsKinds) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    Start(folder.Path());
    EXPECT_EQ(Main().accessibleName(), "Talvane");
    EXPECT_EQ(frmPreview().accessibleName(), "Banner Preview");
    EXPECT_EQ(frmPreview().imgBanner->accessibleName(), "Banner");
    for (int mode : {0, 3}) {
        ChooseMenu(Main().mnuLView[mode]);
        EXPECT_EQ(View()->accessibleName(), "Banners") << mode;
        EXPECT_EQ(View()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(), "Sun");
    }
    // Each panel reads as its text, with its key as the description.
    StatusBar* bar = Main().sbStatusBar;
    const char* keys[] = {"Status", "Path", "Count"};
    Click("Sun");
    const QList<QLabel*> labels = bar->findChildren<QLabel*>();
    for (int panel = 1; panel <= 3; ++panel) {
        auto label = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) {
            return l->accessibleDescription() == keys[panel - 1];
        });
        ASSERT_NE(label, labels.end()) << keys[panel - 1];
        EXPECT_EQ((*label)->accessibleName(), bar->Panels(panel).Text()) << panel;
    }
    EXPECT_EQ(bar->Panels(3).Text(), "1 Banners");
}

class ShutdownTest : public ProgramTest {};

TEST_F(ShutdownTest, TheCloseBoxClosesBothWindowsClearsEverythingAndEndsTheProgram) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    Start(folder.Path());
    FrmMain& main = Main();
    ListView* list = main.lvwBanners;
    ImageList* store = main.ilsMain;
    EXPECT_TRUE(main.close());
    EXPECT_TRUE(desktop.boxes.empty());
    EXPECT_FALSE(IsFrmMainLoaded());
    EXPECT_FALSE(IsFrmPreviewLoaded());
    // Cleared in the order the list and store rely on, before the window goes.
    EXPECT_EQ(list->ListItems().Count(), 0);
    EXPECT_EQ(list->Icons(), nullptr);
    EXPECT_EQ(list->SmallIcons(), nullptr);
    EXPECT_EQ(store->ListImages().Count(), 0);
    EXPECT_EQ(programEnded, 1);
    EXPECT_EQ(folder.Read("Sun.bmp"), BannerBytes(1));
    Flush();
}

TEST_F(ShutdownTest, APreviewLoadedAgainHiddenDoesNotKeepTheProgramAlive) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    Start(folder.Path());
    frmPreview().close();
    Flush();
    EXPECT_FALSE(IsFrmPreviewLoaded());
    EXPECT_EQ(programEnded, 0);

    Click("Sun");
    EXPECT_TRUE(IsFrmPreviewLoaded());
    EXPECT_FALSE(frmPreview().isVisible());

    Main().close();
    EXPECT_FALSE(IsFrmPreviewLoaded());
    EXPECT_FALSE(IsFrmMainLoaded());
    EXPECT_EQ(programEnded, 1);
}

TEST_F(ShutdownTest, AFormOfNoSlotUnloadedLeavesTheProgramRunningWhileTheMainWindowIsLoaded) {
    Start(std::nullopt);
    Unload(frmPreview());
    Form* other = new Form(vbFixedToolWindow);
    other->Show(&Main());
    EXPECT_TRUE(Unload(*other));
    Flush();
    EXPECT_EQ(programEnded, 0);
    EXPECT_TRUE(IsFrmMainLoaded());
    Main().close();
    EXPECT_EQ(programEnded, 1);
}

// Whether process `pid` has a handler of its own for `signal`.
bool Catches(qint64 pid, int signal) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

TEST(SessionEndTest, TerminateHangUpAndInterruptEndTheProgramAsItsCloseBoxDoes) {
    TempFolder folder;
    folder.WriteBanner("Sun.bmp", 1);
    // The last with a message box up: a folder that cannot be opened.
    struct Case {
        int signal;
        std::string folder;
    } cases[] = {{SIGTERM, folder.Path()},
                 {SIGHUP, folder.Path()},
                 {SIGINT, folder.Path()},
                 {SIGTERM, folder / "missing"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        SCOPED_TRACE(c.folder);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", "/tmp");
        program.setProcessEnvironment(env);
        program.start(QCoreApplication::applicationDirPath() + "/talvane",
                      {QString::fromStdString(c.folder)});
        ASSERT_TRUE(program.waitForStarted());
        EXPECT_TRUE(QTest::qWaitFor([&] { return Catches(program.processId(), c.signal); }, 30000));
        QTest::qWait(200);  // well into its event loop
        ::kill(pid_t(program.processId()), c.signal);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Sun.bmp"});
}

// Run by CTest once per screen size, with the offscreen platform told that size.
TEST(WindowSize, TheMainWindowTakesItsShareOfTheScreenCentred) {
    QByteArray screen = qgetenv("TALVANE_TEST_SCREEN");
    if (screen.isEmpty()) GTEST_SKIP() << "run with a screen size";
    // 13056 x 9216 and 16320 x 12288 twips, rounded down to whole pixels.
    struct Expected {
        QByteArray screen;
        float screenTwipsWide;
        QSize pixels;
    } table[] = {{"1024x768", 15360, {870, 614}}, {"1280x1024", 19200, {1088, 819}}};
    FrmMain& main = frmMain();
    for (const Expected& e : table) {
        if (e.screen != screen) continue;
        EXPECT_FLOAT_EQ(Screen::Width(), e.screenTwipsWide);
        // The window manager's frame, unknown until the window shows, comes on top.
        EXPECT_EQ(main.size(), e.pixels);
        main.Show();
        QRect area = QGuiApplication::primaryScreen()->geometry();
        QRect frame = main.frameGeometry();
        // Centred: the margins on either side differ by at most a pixel of rounding.
        EXPECT_LE(std::abs((frame.left() - area.left()) - (area.right() - frame.right())), 1);
        EXPECT_LE(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())), 1);
    }
    Unload(main);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace talvane::test
