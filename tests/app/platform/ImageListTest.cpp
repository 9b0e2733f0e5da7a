// The image store: unique keys, re-keying, and pictures kept at the list's size.

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "app/platform/ImageList.h"
#include "app/platform/RuntimeError.h"
#include "support/BannerFiles.h"

namespace talvane::test {
namespace {

int ErrorNumberOf(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

TEST(ImageListTest, KeysAreUniqueAndATakenKeyChangesNothing) {
    ImageList list(12, 8);
    list.ListImages().Add("a", BannerPicture(1));
    list.ListImages().Add("b", BannerPicture(2));

    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages().Add("a", BannerPicture(3)); }), errKeyNotUnique);
    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages()("a").SetKey("b"); }), errKeyNotUnique);
    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages()("missing"); }), errElementNotFound);
    EXPECT_EQ(list.ListImages().Count(), 2);
    EXPECT_EQ(list.ListImages()("a").Picture(), BannerPicture(1));
    EXPECT_EQ(list.ListImages()("b").Picture(), BannerPicture(2));
}

TEST(ImageListTest, ReKeyingMovesThePictureAndTellsTheViews) {
    ImageList list(12, 8);
    list.ListImages().Add("old", BannerPicture(4));
    QSignalSpy changed(&list, &ImageList::Changed);
    ListImage image = list.ListImages()("old");
    image.SetKey("new");
    EXPECT_EQ(image.Key(), "new");
    EXPECT_EQ(list.ListImages()("new").Picture(), BannerPicture(4));
    EXPECT_EQ(list.Find("old"), nullptr);
    EXPECT_EQ(changed.count(), 1);

    list.ListImages().Clear();
    EXPECT_EQ(list.ListImages().Count(), 0);
    EXPECT_EQ(changed.count(), 2);
}

TEST(ImageListTest, PicturesOfAnotherSizeAreStoredAtTheListSize) {
    ImageList list(12, 8);
    QImage big(48, 32, QImage::Format_RGB32);
    big.fill(Qt::red);
    list.ListImages().Add("big", big);
    QImage stored = list.ListImages()("big").Picture();
    EXPECT_EQ(stored.size(), QSize(12, 8));
    EXPECT_EQ(stored.pixel(5, 5), QColor(Qt::red).rgb());
}

}  // namespace
}  // namespace talvane::test
