// The View menu: the preview, the four view modes and what they keep, driven through the
// real menu bar.

#include "app/MenusFixture.h"

namespace talvane::test {
namespace {

TEST_F(MenusTest, PreviewBringsBackAClosedPreviewWindowOwnedByTheMainWindow) {
    StartWithBanners();
    frmPreview().close();  // the user's close box
    Flush();
    ASSERT_FALSE(IsFrmPreviewLoaded());
    Click("Crown");  // loads it again, hidden, with the picture
    EXPECT_FALSE(frmPreview().isVisible());

    ChooseMenu(Main().mnuPreview);
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_TRUE(frmPreview().isWindow());
    EXPECT_EQ(frmPreview().parentWidget(), &Main());
    EXPECT_EQ(frmPreview().imgBanner->Picture(), BannerPicture(3));
    // Again while it is shown: nothing changes.
    ChooseMenu(Main().mnuPreview);
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(MenusTest, EachViewItemChecksOnlyItselfAndSwitchesTheListKeepingItsSelection) {
    StartWithBanners();
    Click("Crown");
    for (int mode : {3, 0, 0, 2, 1, 1, 3, 3}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        EXPECT_EQ(CheckedViewItems(), std::vector<int>{mode});
        EXPECT_EQ(List().View(), mode);
        auto* list = qobject_cast<QListView*>(View());
        auto* tree = qobject_cast<QTreeView*>(View());
        ASSERT_TRUE(mode == lvwReport ? tree != nullptr : list != nullptr);
        if (list) {
            EXPECT_EQ(list->viewMode(),
                      mode == lvwIcon ? QListView::IconMode : QListView::ListMode);
        }
        EXPECT_TRUE(View()->isVisible());
        EXPECT_TRUE(View()->hasFocus());
        EXPECT_NE(List().findChild<QListView*>()->isVisible(),
                  List().findChild<QTreeView*>()->isVisible());
        EXPECT_EQ(List().SelectedItem().Text(), "Crown");
        EXPECT_EQ(View()->currentIndex().data().toString(), "Crown");
    }
    // The keyboard goes on from the selected entry.
    Press(Qt::Key_Up);
    EXPECT_EQ(List().SelectedItem().Text(), "Bell");
}

TEST_F(MenusTest, ASwitchOfModeKeepsTheSelectedEntryInSight) {
    for (int i = 0; i < 1500; ++i) folder_.WriteBanner("Flag " + std::to_string(i) + ".bmp", i);
    StartWithBanners();
    auto inSight = [this](const QString& text) {
        Flush();
        for (int y = 0; y < View()->viewport()->height(); y += 4)
            for (int x = 0; x < View()->viewport()->width(); x += 16)
                if (View()->indexAt(QPoint(x, y)).data().toString() == text) return true;
        return false;
    };
    Click("Flag 700");
    for (int mode : {0, 1, 2, 3, 0, 2, 1}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        EXPECT_TRUE(inSight("Flag 700"));
    }
}

TEST_F(MenusTest, DetailsShowsOneColumnHeadedBanners3000TwipsWideWhoseHeaderIgnoresClicks) {
    StartWithBanners();
    Click("Bell");
    ChooseMenu(Main().mnuLView[3]);
    auto* tree = qobject_cast<QTreeView*>(View());
    ASSERT_NE(tree, nullptr);
    QHeaderView* header = tree->header();
    EXPECT_TRUE(header->isVisible());
    EXPECT_EQ(header->count(), 1);
    EXPECT_EQ(tree->model()->headerData(0, Qt::Horizontal).toString(), "Banners");
    EXPECT_EQ(header->sectionSize(0), 200);

    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(100, header->height() / 2));
        Flush();
    }
    EXPECT_EQ(Texts(), (std::vector<QString>{"Anchor", "Bell", "Crown"}));
    EXPECT_FALSE(header->isSortIndicatorShown());
    EXPECT_EQ(List().SelectedItem().Text(), "Bell");
    EXPECT_EQ(header->sectionSize(0), 200);
}

// Where `picture` is painted pixel for pixel inside `area` of `shot`, if it is.
std::optional<QPoint> FindPicture(const QImage& shot, const QImage& picture, QRect area) {
    QImage s = shot.convertToFormat(QImage::Format_RGB32);
    QImage p = picture.convertToFormat(QImage::Format_RGB32);
    area &= s.rect();
    for (int y = area.top(); y + p.height() - 1 <= area.bottom(); ++y)
        for (int x = area.left(); x + p.width() - 1 <= area.right(); ++x) {
            bool same = true;
            for (int j = 0; j < p.height() && same; ++j)
                for (int i = 0; i < p.width() && same; ++i)
                    same = s.pixel(x + i, y + j) == p.pixel(i, j);
            if (same) return QPoint(x, y);
        }
    return std::nullopt;
}

TEST_F(MenusTest, EveryModeShowsEachBannerAtTwelveByEightPixelsSharpAndLaysOutItsEntries) {
    StartWithBanners();
    const int line = Main().fontMetrics().height();
    for (int mode : {0, 1, 2, 3, 1, 0, 2}) {
        SCOPED_TRACE(mode);
        ChooseMenu(Main().mnuLView[size_t(mode)]);
        QWidget* viewport = View()->viewport();
        QImage shot = viewport->grab().toImage();
        ASSERT_EQ(shot.devicePixelRatio(), 1.0);
        // The same on a screen of twice the density: each banner pixel a sharp 2 x 2 block.
        QImage dense(viewport->size() * 2, QImage::Format_RGB32);
        dense.setDevicePixelRatio(2);
        dense.fill(Qt::white);
        viewport->render(&dense);

        int seed = 1;
        for (QString text : {"Anchor", "Bell", "Crown"}) {
            SCOPED_TRACE(text.toStdString());
            QRect item = ItemRect(text);
            QImage banner = BannerPicture(seed++);
            std::optional<QPoint> at = FindPicture(shot, banner, item);
            ASSERT_TRUE(at.has_value()) << "the picture is not painted at 12 x 8, unsmoothed";
            EXPECT_EQ(FindPicture(dense, banner.scaled(24, 16),
                                  QRect(item.topLeft() * 2, item.size() * 2)),
                      std::optional<QPoint>(*at * 2))
                << "the picture is smoothed on a dense screen";
            QRect picture(*at, QSize(12, 8));
            if (mode == lvwIcon) {  // centred above the text
                EXPECT_NEAR(picture.center().x(), item.center().x(), 1);
                EXPECT_GE(item.bottom() - picture.bottom(), line);
            } else {  // beside the text, one line high
                EXPECT_LT(picture.left() - item.left(), 8);
                EXPECT_LT(item.height(), picture.height() + line);
                EXPECT_GT(item.width(), 3 * picture.width());
            }
        }
        QRect anchor = ItemRect("Anchor");
        QRect bell = ItemRect("Bell");
        if (mode == lvwIcon || mode == lvwSmallIcon) {  // side by side in rows
            EXPECT_EQ(bell.top(), anchor.top());
            EXPECT_GT(bell.left(), anchor.right());
        } else {  // one below the other, in columns
            EXPECT_EQ(bell.left(), anchor.left());
            EXPECT_GT(bell.top(), anchor.bottom() - 1);
        }
    }
}

TEST_F(MenusTest, AScanRenameOrDeleteKeepsTheModeAndEveryItemStaysUsable) {
    StartWithBanners();
    ChooseMenu(Main().mnuLView[3]);
    Press(Qt::Key_F5);
    EXPECT_EQ(List().View(), lvwReport);

    Click("Bell");
    Press(Qt::Key_F2);
    TypeIntoEditor("Dove");
    Press(Qt::Key_Return);
    EXPECT_TRUE(folder_.Exists("Dove.bmp"));
    EXPECT_EQ(List().View(), lvwReport);

    desktop.answers.push_back(vbYes);
    Press(Qt::Key_Delete);
    EXPECT_FALSE(folder_.Exists("Dove.bmp"));
    EXPECT_EQ(List().View(), lvwReport);
    EXPECT_EQ(CheckedViewItems(), std::vector<int>{3});
    EXPECT_TRUE(qobject_cast<QTreeView*>(View()));
    for (QMenu* menu : {Main().mnuFile, Main().mnuView}) {
        EXPECT_TRUE(menu->menuAction()->isEnabled() && menu->menuAction()->isVisible());
        for (QAction* item : menu->actions()) EXPECT_TRUE(item->isEnabled() && item->isVisible());
    }
}

}  // namespace
}  // namespace talvane::test
