// How the list control paints its entries: state colours, pictures, layouts that do not
// depend on the mode before, control characters and long names.

#include <gtest/gtest.h>
#include <QApplication>
#include <QPaintEvent>
#include <QProxyStyle>
#include <QTextLayout>

#include "app/platform/ListItemsModel.h"
#include "app/platform/ListViewFixture.h"

namespace talvane::test {
namespace {

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

}  // namespace
}  // namespace talvane::test
