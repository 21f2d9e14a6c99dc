#include "gui/core/imagelist.h"
#include "gui/core/picture.h"

#include <gtest/gtest.h>

namespace {

TEST(Picture, AllocateClearsAndRespectsThePixelCap)
{
    cPicture picture;
    EXPECT_EQ(picture.GetPixels(), nullptr);
    ASSERT_TRUE(picture.Allocate(3, 2));
    EXPECT_EQ(picture.GetWidth(), 3);
    EXPECT_EQ(picture.GetHeight(), 2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(picture.GetPixels()[i], 0u);
    }
    // A refused size leaves the picture empty, never half-made.
    EXPECT_FALSE(picture.Allocate(16385, 16384));
    EXPECT_EQ(picture.GetPixels(), nullptr);
    EXPECT_EQ(picture.GetWidth(), 0);
    EXPECT_FALSE(picture.CreateFilled(0xFF000000, -1, 4));
    EXPECT_EQ(picture.GetHeight(), 0);
}

TEST(ImageList, BorrowsPicturesAndReferencesOwnTheirs)
{
    cPicture first;
    cPicture second;
    sImageList list;
    EXPECT_TRUE(list.IsEmpty());
    list.Set(0, &first);
    list.Set(7, &second);
    list.Set(7, &first);
    EXPECT_EQ(list.Get(7), &first);
    EXPECT_EQ(list.Get(1), nullptr);
    list.Set(0, nullptr);
    EXPECT_EQ(list.Get(0), nullptr);

    sPictureRef reference;
    reference.SetFromList(&list, 7);
    EXPECT_EQ(reference.Get(), &first);
    reference.SetFromList(nullptr, 7);
    EXPECT_EQ(reference.Get(), nullptr);
    // Owned pictures are freed on replacement and with the reference (ASan checks
    // for leaks and double frees); setting the owned one again keeps it owned.
    auto* owned = new cPicture;
    reference.SetOwned(owned);
    reference.Set(owned);
    EXPECT_EQ(reference.Get(), owned);
    reference.SetOwned(new cPicture);
    reference.SetFromList(&list, 7);
    EXPECT_EQ(reference.Get(), &first);
    reference.SetOwned(new cPicture);
}

TEST(Picture, TakePixelsMovesAndEmptiesTheSource)
{
    cPicture a;
    cPicture b;
    ASSERT_TRUE(a.CreateFilled(0x80112233, 4, 5));
    ASSERT_TRUE(b.Allocate(1, 1));
    const u32* pixels = a.GetPixels();
    b.TakePixels(a);
    EXPECT_EQ(b.GetPixels(), pixels);
    EXPECT_EQ(b.GetWidth(), 4);
    EXPECT_EQ(b.GetHeight(), 5);
    EXPECT_EQ(b.GetPixels()[19], 0x80112233u);
    EXPECT_EQ(a.GetPixels(), nullptr);
    EXPECT_EQ(a.GetWidth(), 0);
    b.TakePixels(b);
    EXPECT_EQ(b.GetPixels(), pixels);
}

} // namespace
