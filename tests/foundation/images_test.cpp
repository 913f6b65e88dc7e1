// The shared image lists: every index the program uses draws a picture.
#include "foundation/images.h"

#include <gtest/gtest.h>
#include <QImage>

namespace {
// True when the picture has at least one pixel that is not transparent.
bool DrawsSomething(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}
}  // namespace

TEST(DataModuleImages, ListsHoldEveryImageTheProgramIndexes)
{
    TDataModuleImages images;
    EXPECT_EQ(DataModuleImages, &images);
    EXPECT_EQ(images.imglStatusBarIcons.Count(), 2);
    EXPECT_EQ(images.imglFoldersSmall.Count(), 8);
    EXPECT_EQ(images.imglFoldersLarge.Count(), 8);
    EXPECT_EQ(images.imglToolBar.Count(), 8);
    EXPECT_EQ(images.imglForDragging.Count(), 5);
    EXPECT_EQ(images.imglFoldersSmall.IconSize(), QSize(16, 16));
    EXPECT_EQ(images.imglFoldersLarge.IconSize(), QSize(32, 32));
    for (const TNImageList* list : {&images.imglStatusBarIcons, &images.imglFoldersSmall, &images.imglFoldersLarge,
                                    &images.imglToolBar, &images.imglForDragging})
        for (int i = 0; i < list->Count(); ++i) {
            const QPixmap pixmap = list->Pixmap(i);
            EXPECT_EQ(pixmap.size(), list->IconSize());
            EXPECT_TRUE(DrawsSomething(pixmap)) << i;
        }
    EXPECT_TRUE(images.imglFoldersSmall.Icon(8).isNull());
    EXPECT_TRUE(images.imglFoldersSmall.Icon(-1).isNull());
}

TEST(DataModuleImages, GlobalClearedWithTheModule)
{
    {
        TDataModuleImages images;
        EXPECT_EQ(DataModuleImages, &images);
    }
    EXPECT_EQ(DataModuleImages, nullptr);
}

TEST(DataModuleImages, ProgramIconsAreCompiledIn)
{
    // The SVG files are in the resources; a name without a file gets the stand-in.
    EXPECT_TRUE(DrawsSomething(ProgramIcon(QStringLiteral("logo")).pixmap(64, 64)));
    EXPECT_TRUE(DrawsSomething(ProgramIcon(QStringLiteral("no-such-icon")).pixmap(16, 16)));
}
