// The image store: unique keys, re-keying, and pictures kept at the list's size.

#include <gtest/gtest.h>
#include <QSignalSpy>

#include "app/platform/ImageList.h"
#include "app/platform/RuntimeError.h"
#include "support/BannerFiles.h"
#include "support/Errors.h"

namespace talvane::test {
namespace {

TEST(ImageListTest, KeysAreUniqueAndATakenKeyChangesNothing) {
    ImageList list(12, 8);
    list.ListImages().Add("a", BannerPicture(1));
    list.ListImages().Add("b", BannerPicture(2));

    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages().Add("a", BannerPicture(3)); }),
              errKeyNotUnique);
    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages()("a").SetKey("b"); }), errKeyNotUnique);
    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages()("missing"); }), errElementNotFound);
    EXPECT_EQ(list.ListImages().Count(), 2);
    EXPECT_EQ(list.ListImages()("a").Picture(), BannerPicture(1));
    EXPECT_EQ(list.ListImages()("b").Picture(), BannerPicture(2));
}

TEST(ImageListTest, ManyPicturesKeepTheirOwnPixelsAndAPictureHandedOutOutlivesClear) {
    ImageList list(12, 8);
    const int count = 2500;  // across several of the store's blocks, for pictures and keys
    auto key = [](int i) { return std::string(200, 'k') + std::to_string(i); };
    for (int i = 0; i < count; ++i) list.ListImages().Add(key(i), BannerPicture(i % 1000));
    const std::string huge(100000, 'h');  // longer than a block of keys
    list.ListImages().Add(huge, BannerPicture(5));
    list.ListImages()(key(3)).SetKey("renamed");
    EXPECT_TRUE(list.Has("renamed"));
    EXPECT_FALSE(list.Has(key(3)));
    EXPECT_EQ(list.ListImages()(huge).Picture(), BannerPicture(5));
    for (int i : {0, 1023, 1024, 2047, 2048, count - 1}) {
        QImage shown = list.Find(key(i));
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
                  BannerPicture(i % 1000).convertToFormat(QImage::Format_ARGB32))
            << i;
    }
    QImage kept = list.ListImages()(key(7)).Picture();
    list.ListImages().Clear();
    list.ListImages().Add("other", BannerPicture(999));
    EXPECT_EQ(kept, BannerPicture(7)) << "a picture handed out is the caller's own";
    EXPECT_TRUE(list.Find(key(7)).isNull());
    EXPECT_EQ(list.ListImages().Count(), 1);
    EXPECT_EQ(ErrorNumberOf([&] { list.ListImages().Add("null", QImage()); }), errInvalidPicture);
}

TEST(ImageListTest, ReKeyingMovesThePictureAndTellsTheViews) {
    ImageList list(12, 8);
    list.ListImages().Add("old", BannerPicture(4));
    QSignalSpy changed(&list, &ImageList::Changed);
    ListImage image = list.ListImages()("old");
    image.SetKey("new");
    EXPECT_EQ(image.Key(), "new");
    EXPECT_EQ(list.ListImages()("new").Picture(), BannerPicture(4));
    EXPECT_FALSE(list.Has("old"));
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
