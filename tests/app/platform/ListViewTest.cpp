// The list control: natural order, unique keys, entry handles that outlive their entry,
// picture keys checked against the bound image lists.

#include <gtest/gtest.h>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

#include <random>

#include "app/platform/ListItemsModel.h"
#include "app/platform/ListViewFixture.h"
#include "app/platform/RuntimeError.h"
#include "support/Errors.h"

namespace talvane::test {
namespace {

TEST(NaturalCompareTest, NumbersCompareByValueLettersIgnoreCase) {
    struct Order {
        const char* a;
        const char* b;
        int expected;  // sign of NaturalCompare(a, b)
    };
    const Order cases[] = {
        {"banner2", "banner10", -1},  // by value, not character by character
        {"banner10", "banner10", 0},
        {"Banner", "banner", 0},  // case does not order
        {"apple", "Banana", -1},
        {"b007", "b7", 0},  // leading zeros do not count
        {"b007", "b8", -1},
        {"b9", "b0010", -1},
        {"a99999999999999999999", "a100000000000000000000", -1},  // past any integer type
        {"1", "a", -1},                                           // digits before letters
        {"x1y", "xay", -1},
        {"", "a", -1},
        {"a", "a1", -1},                        // a prefix comes first
        {"a2b10", "a2b9", 1},                   // every run of digits counts, not only the first
        {"\u00C9t\u00E9", "\u00E9t\u00E9", 0},  // case beyond ASCII
        {"\u212Aey", "key", 0},                 // the Kelvin sign folds to an ASCII k
    };
    for (const Order& c : cases) {
        int got = NaturalCompare(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        int back = NaturalCompare(QString::fromUtf8(c.b), QString::fromUtf8(c.a));
        EXPECT_EQ((got > 0) - (got < 0), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ((back > 0) - (back < 0), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST_F(ListViewTest, ATakenKeyIsRefusedByAddAndByReKeyingAndChangesNothing) {
    Bind();
    ListItem a = AddBanner("/f/a", "a");
    ListItem b = AddBanner("/f/b", "b");
    EXPECT_EQ(ErrorNumberOf([&] { list->ListItems().Add("/f/a", "other", "", ""); }),
              errKeyNotUnique);
    EXPECT_EQ(ErrorNumberOf([&] { b.SetKey("/f/a"); }), errKeyNotUnique);
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "b"}));
    EXPECT_EQ(list->ListItems()("/f/a"), a);
    EXPECT_EQ(list->ListItems()("/f/b"), b);

    // Re-keying to a free key moves the entry and frees its old key.
    b.SetKey("/f/c");
    EXPECT_EQ(list->ListItems()("/f/c"), b);
    EXPECT_EQ(ErrorNumberOf([&] { list->ListItems()("/f/b"); }), errElementNotFound);
    AddBanner("/f/b", "b2");
    EXPECT_EQ(list->ListItems().Count(), 3);
}

TEST_F(ListViewTest, AHandleOfARemovedEntryFailsInsteadOfReachingTheEntryThatReusedItsPlace) {
    Bind();
    ListItem gone = AddBanner("/f/gone", "gone");
    ListItem kept = AddBanner("/f/kept", "kept");
    list->ListItems().Remove("/f/gone");
    ListItem reused = AddBanner("/f/new", "new");

    const std::function<void()> uses[] = {
        [&] { (void)gone.Text(); },
        [&] { gone.SetText("hijacked"); },
        [&] { gone.SetKey("/f/other"); },
        [&] { list->SetSelectedItem(gone); },
    };
    for (const auto& use : uses) EXPECT_EQ(ErrorNumberOf(use), errElementNotFound);
    EXPECT_EQ(Rows(), (std::vector<QString>{"kept", "new"}));
    EXPECT_EQ(reused.Key(), "/f/new");
    EXPECT_EQ(kept.Key(), "/f/kept");
    EXPECT_TRUE(pictures.Has("/f/gone")) << "removing an entry keeps its picture";
    EXPECT_EQ(ErrorNumberOf([&] { list->ListItems().Remove("/f/gone"); }), errElementNotFound);

    // Clearing the list ends every handle too, whatever is added afterwards.
    list->ListItems().Clear();
    AddBanner("/f/x", "x");
    AddBanner("/f/y", "y");
    EXPECT_EQ(ErrorNumberOf([&] { (void)kept.Text(); }), errElementNotFound);
    EXPECT_EQ(ErrorNumberOf([&] { (void)reused.Text(); }), errElementNotFound);
}

TEST_F(ListViewTest, PictureKeysMustNameAPictureOfTheBoundImageList) {
    pictures.ListImages().Add("/f/a", BannerPicture(1));
    auto add = [&](const std::string& icon, const std::string& smallIcon) {
        return ErrorNumberOf([&] { list->ListItems().Add("/f/new", "new", icon, smallIcon); });
    };
    EXPECT_EQ(add("/f/a", ""), errImageListNotInitialized);
    EXPECT_EQ(add("", "/f/a"), errImageListNotInitialized);
    list->SetSmallIcons(&pictures);
    EXPECT_EQ(add("/f/a", "/f/a"), errImageListNotInitialized);  // no list for large icons
    list->SetIcons(&pictures);
    EXPECT_EQ(add("/f/missing", "/f/a"), errElementNotFound);
    EXPECT_EQ(add("/f/a", "/f/missing"), errElementNotFound);
    EXPECT_EQ(list->ListItems().Count(), 0);

    ListItem item = list->ListItems().Add("/f/plain", "plain", "", "");  // no pictures: fine
    EXPECT_EQ(ErrorNumberOf([&] { item.SetSmallIcon("/f/missing"); }), errElementNotFound);
    EXPECT_EQ(item.SmallIcon(), "");
}

TEST_F(ListViewTest, LargeIconsComeFromIconsTheOtherModesFromSmallIconsAndUnbindingHidesThem) {
    ImageList large(12, 8);
    large.ListImages().Add("/f/a", BannerPicture(1));
    pictures.ListImages().Add("/f/a", BannerPicture(2));
    list->SetIcons(&large);
    list->SetSmallIcons(&pictures);
    list->ListItems().Add("/f/a", "a", "/f/a", "/f/a");
    auto shown = [&] {
        QModelIndex index = list->Model()->IndexOfSlot(*list->Model()->Find("/f/a"));
        return index.data(ListItemsModel::PictureRole).value<QImage>();
    };

    for (auto [mode, seed] :
         {std::pair{lvwIcon, 1}, {lvwSmallIcon, 2}, {lvwList, 2}, {lvwReport, 2}}) {
        list->SetView(mode);
        EXPECT_EQ(shown(), BannerPicture(seed)) << mode;
    }
    list->SetSmallIcons(nullptr);
    EXPECT_TRUE(shown().isNull());
    list->SetView(lvwIcon);
    list->SetIcons(nullptr);
    EXPECT_TRUE(shown().isNull());
}

TEST_F(ListViewTest, OrderStaysNaturalAndTheSelectionFollowsItsEntry) {
    Bind();
    for (const char* text : {"b10", "B2", "a", "b1"}) AddBanner(std::string("/f/") + text, text);
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "b1", "B2", "b10"}));
    ListItem b1 = list->ListItems()("/f/b1");
    list->SetSelectedItem(b1);

    b1.SetText("c");
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "B2", "b10", "c"}));
    EXPECT_EQ(list->SelectedItem(), b1);
    EXPECT_EQ(list->ActiveView()->currentIndex().data().toString(), "c");

    list->ListItems().Remove("/f/a");
    AddBanner("/f/0", "0");
    EXPECT_EQ(Rows(), (std::vector<QString>{"0", "B2", "b10", "c"}));
    EXPECT_EQ(list->SelectedItem(), b1);
}

TEST_F(ListViewTest, ALargeListSortsLikeComparingItsTextsOneByOne) {
    // Long shared beginnings, numbers with and without leading zeros, equal texts under
    // other keys, case and accents: the sort in blocks of bytes must agree with the order
    // of the texts themselves.
    Bind();
    std::mt19937 random(7);
    const std::vector<QString> parts = {"banner",
                                        "Banner",
                                        "banner-long-shared-prefix-",
                                        "0",
                                        "007",
                                        "7",
                                        "10",
                                        "x",
                                        "\u00e9t\u00e9",
                                        "\u00c9T\u00c9",
                                        " ",
                                        ""};
    std::vector<std::pair<QString, std::string>> added;
    for (int i = 0; i < 400; ++i) {
        QString text;
        for (int n = 1 + int(random() % 4); n > 0; --n) text += parts[random() % parts.size()];
        // Half of them show their file's name, as scanned banners do.
        std::string key = i % 2 ? "/f/" + std::to_string(i) : "/f/" + text.toStdString() + ".bmp";
        if (list->Model()->Find(key)) continue;
        AddBanner(key, text);
        added.emplace_back(text, key);
    }
    std::sort(added.begin(), added.end(), [](const auto& x, const auto& y) {
        if (int c = NaturalCompare(x.first, y.first)) return c < 0;
        if (int c = QString::compare(x.first, y.first)) return c < 0;
        return x.second < y.second;
    });
    QCoreApplication::processEvents();
    for (int row = 0; row < int(added.size()); ++row) {
        ListItem item = list->ListItems().AtRow(row);
        ASSERT_EQ(item.Key(), added[size_t(row)].second) << row << " " << item.Text().toStdString();
    }
}

TEST_F(ListViewTest, SwitchingModesKeepsTheColumnWidthAndLeavesNoSelectionModelsBehind) {
    Bind();
    AddBanner("/f/a", "a");
    list->AddColumnHeader("Banners", 3000);
    list->SetView(lvwReport);
    auto* details = static_cast<QTreeView*>(list->ActiveView());
    details->header()->resizeSection(0, 123);  // as the user drags it
    auto selectionModels = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return list->findChildren<QItemSelectionModel*>().size();
    };
    list->SetView(lvwList);
    list->SetView(lvwReport);
    const auto settled = selectionModels();
    for (int round = 0; round < 5; ++round) {
        list->SetView(lvwSmallIcon);
        list->SetView(lvwReport);
    }
    EXPECT_EQ(selectionModels(), settled);
    EXPECT_EQ(details->header()->sectionSize(0), 123);
}

}  // namespace
}  // namespace talvane::test
