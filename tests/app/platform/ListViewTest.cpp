// The list control: natural order, unique keys, entry handles that outlive their entry,
// picture keys checked against the bound image lists, and the end of an in-place edit.

#include <gtest/gtest.h>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QTest>
#include <QTextLayout>
#include <QTreeView>

#include <random>

#include "app/platform/ImageList.h"
#include "app/platform/ListItemsModel.h"
#include "app/platform/ListView.h"
#include "app/platform/RuntimeError.h"
#include "support/BannerFiles.h"
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

class ListViewTest : public ::testing::Test {
protected:
    ListViewTest() : list(new ListView(&window)), pictures(12, 8) { list->resize(400, 300); }

    // Adds an entry whose pictures are stored under its key.
    ListItem AddBanner(const std::string& key, const QString& text) {
        if (!pictures.Has(key)) pictures.ListImages().Add(key, BannerPicture(1));
        return list->ListItems().Add(key, text, key, key);
    }

    void Bind() {
        list->SetIcons(&pictures);
        list->SetSmallIcons(&pictures);
    }

    // The texts in the order the list shows them.
    std::vector<QString> Rows() {
        QCoreApplication::processEvents();
        std::vector<QString> rows;
        for (int row = 0; row < list->ListItems().Count(); ++row)
            rows.push_back(list->ListItems().AtRow(row).Text());
        return rows;
    }

    QWidget window;
    ListView* list;
    ImageList pictures;
};

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

TEST_F(ListViewTest, TextsArePaintedInTheirStateColoursAndFollowTheirChanges) {
    Bind();
    window.resize(400, 300);
    window.show();
    ListItem a = AddBanner("/f/a", "Alpha");
    AddBanner("/f/b", "Beta");
    list->SetSelectedItem(a);
    for (int mode : {lvwSmallIcon, lvwList, lvwReport}) {
        list->SetView(mode);
        QCoreApplication::processEvents();
        QAbstractItemView* view = list->ActiveView();
        auto textArea = [&](const QString& text) {
            QModelIndex index = view->model()->index(text == "Beta" ? 1 : 0, 0);
            QRect rect = view->visualRect(index);
            rect.setLeft(rect.left() + 20);  // past the picture
            return view->viewport()->grab(rect).toImage();
        };
        // Glyphs are smoothed: some pixel comes close to the pen's colour.
        auto holds = [](const QImage& image, QColor colour) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    QColor c = image.pixelColor(x, y);
                    if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                            std::abs(c.blue() - colour.blue()) <
                        60)
                        return true;
                }
            return false;
        };
        const QPalette& palette = view->palette();
        EXPECT_TRUE(
            holds(textArea("Alpha"), palette.color(QPalette::Active, QPalette::HighlightedText)) ||
            holds(textArea("Alpha"), palette.color(QPalette::Inactive, QPalette::HighlightedText)))
            << "selected text, mode " << mode;
        const QImage before = textArea("Beta");
        EXPECT_TRUE(holds(before, palette.color(QPalette::Active, QPalette::Text)) ||
                    holds(before, palette.color(QPalette::Inactive, QPalette::Text)))
            << "text, mode " << mode;
        list->ListItems()("/f/b").SetText("Bz");  // still sorts after Alpha
        QCoreApplication::processEvents();
        EXPECT_NE(textArea("Beta"), before) << "a changed text is painted anew, mode " << mode;
        list->ListItems()("/f/b").SetText("Beta");
    }
}

TEST_F(ListViewTest, AnEntryGivenAnotherPictureIsPaintedAgainWithIt) {
    Bind();
    window.resize(400, 300);
    window.show();
    QImage red(12, 8, QImage::Format_ARGB32_Premultiplied);
    red.fill(Qt::red);
    QImage blue = red;
    blue.fill(Qt::blue);
    pictures.ListImages().Add("/pictures/red", red);
    pictures.ListImages().Add("/pictures/blue", blue);
    ListItem item = list->ListItems().Add("/f/a", "a", "/pictures/red", "/pictures/red");
    list->SetView(lvwSmallIcon);
    QCoreApplication::processEvents();
    QAbstractItemView* view = list->ActiveView();

    // The view repaints the entry: a paint event covering it reaches the view.
    struct PaintWatch : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } watch;
    view->viewport()->installEventFilter(&watch);
    item.SetSmallIcon("/pictures/blue");
    QCoreApplication::processEvents();
    const QRect entry = view->visualRect(view->model()->index(0, 0));
    EXPECT_TRUE(watch.painted.contains(entry)) << "no repaint of the entry";
    QImage shot = view->viewport()->grab(entry).toImage();
    bool blueShown = false;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            blueShown = blueShown || shot.pixelColor(x, y) == QColor(Qt::blue);
    EXPECT_TRUE(blueShown);
    view->viewport()->removeEventFilter(&watch);
}

TEST_F(ListViewTest, EachModeLaysOutItsEntriesTheSameWhicheverModeCameBefore) {
    Bind();
    window.resize(400, 300);
    window.show();
    for (int i = 0; i < 40; ++i) AddBanner("/f/" + std::to_string(i), QString("banner %1").arg(i));
    auto layoutAfter = [&](int before, int mode) {
        list->SetView(before);
        QCoreApplication::processEvents();
        list->SetView(mode);
        QCoreApplication::processEvents();
        QAbstractItemView* view = list->ActiveView();
        std::vector<QRect> rects;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            rects.push_back(view->visualRect(view->model()->index(row, 0)));
        return rects;
    };
    for (int mode : {lvwIcon, lvwSmallIcon, lvwList, lvwReport}) {
        const std::vector<QRect> first = layoutAfter(mode, mode);
        for (int before : {lvwIcon, lvwSmallIcon, lvwList, lvwReport})
            EXPECT_EQ(layoutAfter(before, mode), first) << "mode " << mode << " after " << before;
    }
    // Large Icons flows in rows: the second entry beside the first.
    const std::vector<QRect> large = layoutAfter(lvwList, lvwIcon);
    EXPECT_EQ(large[1].top(), large[0].top());
}

TEST_F(ListViewTest, ControlCharactersArePaintedOnOneLineInsideTheirEntryAndTheTextKeepsThem) {
    Bind();
    window.resize(400, 300);
    window.show();
    ListItem item = AddBanner("/f/a", "");
    for (int mode : {lvwIcon, lvwSmallIcon, lvwList, lvwReport}) {
        list->SetView(mode);
        item.SetText("");
        QCoreApplication::processEvents();
        QAbstractItemView* view = list->ActiveView();
        const QImage blank = view->viewport()->grab().toImage();
        for (const char* utf8 :
             {"ab\ncd\nef", "ab\r\ncd", "ab\tcd", "ab\u2028cd\u2029ef", "ab\u0085cd",
              "ab\x0B\x0C\x01"
              "cd"}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " " << utf8);
            item.SetText(QString::fromUtf8(utf8));
            QCoreApplication::processEvents();
            EXPECT_EQ(item.Text(), QString::fromUtf8(utf8));
            // What the text painted: the pixels that differ from the entry without it.
            const QImage shot = view->viewport()->grab().toImage();
            QRect ink;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    if (shot.pixel(x, y) != blank.pixel(x, y)) ink |= QRect(x, y, 1, 1);
            EXPECT_TRUE(view->visualRect(view->model()->index(0, 0)).contains(ink));
            EXPECT_LE(ink.height(), list->fontMetrics().height()) << "more than one line";
            EXPECT_GT(ink.width(), list->fontMetrics().horizontalAdvance("abcd"));
        }
    }
}

TEST_F(ListViewTest, ALongNameUnderALargeIconEndsInAnEllipsisOnTheLastLineThatFitsWhole) {
    // What the style is handed to paint under the icon, and where.
    struct Recorder : QProxyStyle {
        QString text;
        QRect area;
        void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                         const QWidget* widget) const override {
            if (auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
                item && element == CE_ItemViewItem) {
                auto* self = const_cast<Recorder*>(this);
                self->text = item->text;
                self->area = subElementRect(SE_ItemViewItemText, item, widget);
            }
            QProxyStyle::drawControl(element, option, painter, widget);
        }
    } recorder;
    Bind();
    window.resize(400, 300);
    window.show();
    const QString name =
        QStringLiteral("A banner with a name so long that it runs over many lines under its icon");
    AddBanner("/f/long", name);
    list->SetView(lvwIcon);
    QCoreApplication::processEvents();
    QAbstractItemView* view = list->ActiveView();
    view->setStyle(&recorder);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    view->setStyle(nullptr);
    ASSERT_FALSE(recorder.text.isEmpty());
    EXPECT_TRUE(recorder.text.endsWith(QChar(0x2026))) << recorder.text.toStdString();
    EXPECT_TRUE(name.startsWith(recorder.text.section(QChar::LineSeparator, 0, 0).trimmed()));
    // Every line handed over fits the text area whole.
    QTextLayout layout(recorder.text, view->font());
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrapping);
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(recorder.area.width() - 2 * margin);
        height += line.height();
    }
    layout.endLayout();
    EXPECT_LE(height, recorder.area.height());
    EXPECT_GE(layout.lineCount(), 2);
}

// The end of an in-place edit on a shown list, with real keys.
class ListEditTest : public ListViewTest {
protected:
    void SetUp() override {
        Bind();
        list->SetView(lvwSmallIcon);
        AddBanner("/f/a", "a");
        AddBanner("/f/b", "b");
        Rows();
        window.show();
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents();
        list->AfterLabelEdit = [this](int16_t& cancel, const QString& text) {
            edits.push_back(text);
            cancel = cancelWith;
        };
    }

    void EditTo(const QString& text, int endKey) {
        list->StartLabelEdit();
        QLineEdit* editor = list->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key(endKey));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::vector<QString> edits;
    int16_t cancelWith = 0;
};

TEST_F(ListEditTest, TheEventKeepsOrRestoresTheTextAndEscRaisesNone) {
    list->SetSelectedItem(list->ListItems()("/f/b"));
    EditTo("c", Qt::Key_Return);
    EXPECT_EQ(edits, std::vector<QString>{"c"});
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "c"}));

    cancelWith = 1;
    EditTo("d", Qt::Key_Enter);
    EXPECT_EQ(edits, (std::vector<QString>{"c", "d"}));
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "c"}));

    EditTo("e", Qt::Key_Escape);
    EXPECT_EQ(edits.size(), 2u);
    EXPECT_EQ(Rows(), (std::vector<QString>{"a", "c"}));
}

TEST_F(ListEditTest, AnEntryRemovedByTheEventStaysRemoved) {
    list->AfterLabelEdit = [this](int16_t&, const QString& text) {
        edits.push_back(text);
        list->ListItems().Remove("/f/a");
    };
    list->SetSelectedItem(list->ListItems()("/f/a"));
    EditTo("z", Qt::Key_Return);
    EXPECT_EQ(edits, std::vector<QString>{"z"});
    EXPECT_EQ(Rows(), std::vector<QString>{"b"});
}

}  // namespace
}  // namespace talvane::test
