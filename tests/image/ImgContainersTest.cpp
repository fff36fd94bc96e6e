#include <gtest/gtest.h>

#include "image/ImgTypes.h"
#include "image/List.h"

TEST(ImgContainers, StridesAlignmentAndEmptyImages) {
    EXPECT_EQ(ImgRGB(1, 1).rowStride, 4);
    EXPECT_EQ(ImgUCHAR(5, 2).rowStride, 8);
    EXPECT_EQ(ImgRGBSHORT(5, 2).rowStride, 30);
    EXPECT_EQ(ImgFLOAT(3, 1).rowStride, 12);
    EXPECT_EQ(ImgRGBA(3, 1).rowStride, 12);
    ImgRGB odd(7, 3);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(odd.pixels) % 4, 0u);
    EXPECT_EQ(odd.rows[2], odd.pixels + 2 * odd.rowStride);
    EXPECT_EQ(odd.roiRight, 6);
    EXPECT_EQ(odd.roiBottom, 2);
    EXPECT_EQ(odd.typeCode, 6);
    EXPECT_EQ(odd.bytesPerPixel, 3);

    ImgFLOAT zeroWide(0, 5), negativeHigh(4, -1);
    EXPECT_FALSE(zeroWide.HasPixels());
    EXPECT_EQ(zeroWide.width, 0);
    EXPECT_EQ(negativeHigh.height, 0);
    ImgFLOAT target(2, 2);
    EXPECT_EQ(zeroWide.CopyRect(0, 0, 1, 1, target, 0, 0), -1);
    EXPECT_EQ(target.CopyRect(0, 0, 1, 1, zeroWide, 0, 0), -1);
}

TEST(ImgContainers, ViewsShareMemoryOwnersDoNot) {
    ImgRGB owner(4, 3);
    owner.FillRect(0, 0, 3, 2, Rgb{1, 2, 3});
    ImgRGB copy(owner);
    EXPECT_NE(copy.pixels, owner.pixels);
    copy.At(0, 0) = Rgb{9, 9, 9};
    EXPECT_EQ(owner.At(0, 0).b, 1);

    std::vector<unsigned char> memory(static_cast<size_t>(ImgRGB(4, 3).rowStride) * 3);
    ImgRGB view(4, 3, memory.data());
    EXPECT_TRUE(view.IsView());
    EXPECT_EQ(view.ownedBlock, nullptr);
    ImgRGB second(view);
    EXPECT_EQ(second.pixels, view.pixels);
    second.At(2, 1) = Rgb{7, 8, 9};
    EXPECT_EQ(view.At(2, 1).r, 9);
    EXPECT_FALSE(view.Resize(2, 2));
    EXPECT_EQ(view.width, 4);

    Img* cloneOfView = view.Clone(false);
    EXPECT_EQ(cloneOfView->pixels, view.pixels);
    delete cloneOfView;
    Img* emptyClone = owner.Clone(true);
    EXPECT_EQ(emptyClone->width, 4);
    EXPECT_EQ(emptyClone->typeCode, kTypeRGB);
    EXPECT_NE(dynamic_cast<ImgRGB*>(emptyClone), nullptr);
    delete emptyClone;

    const ImgRGB& alias = copy;
    copy = alias;  // onto itself: nothing happens
    EXPECT_EQ(copy.At(0, 0).b, 9);
    copy = owner;
    EXPECT_EQ(copy.At(0, 0).b, 1);

    unsigned char* before = owner.pixels;
    EXPECT_TRUE(owner.Resize(4, 3));
    EXPECT_EQ(owner.pixels, before);
    EXPECT_EQ(owner.At(3, 2).g, 2);
    EXPECT_TRUE(owner.Resize(5, 3));
    EXPECT_EQ(owner.width, 5);
    EXPECT_EQ(owner.roiRight, 4);
}

TEST(ImgContainers, CopyRectReturnCodesAndPlacement) {
    ImgINT src(4, 4), dst(3, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            src.At(x, y) = 10 * y + x;
    dst.FillRect(0, 0, 2, 2, -1);
    EXPECT_EQ(src.CopyRect(1, 1, 2, 2, dst, 0, 0), 0);
    EXPECT_EQ(dst.At(0, 0), 11);
    EXPECT_EQ(dst.At(1, 1), 22);
    EXPECT_EQ(src.CopyRect(2, 2, 5, 5, dst, 0, 0), 1);
    EXPECT_EQ(dst.At(1, 1), 33);
    EXPECT_EQ(src.CopyRect(0, 0, 1, 1, dst, 2, 2), 2);
    EXPECT_EQ(dst.At(2, 2), 0);
    EXPECT_EQ(src.CopyRect(-1, -1, 3, 3, dst, 1, 1), 3);
    EXPECT_EQ(dst.At(1, 1), 0);
    EXPECT_EQ(dst.At(2, 1), 1);
    // Clipped on the destination's left: the pixels that fell off are skipped.
    EXPECT_EQ(src.CopyRect(0, 0, 2, 0, dst, -1, 0), 2);
    EXPECT_EQ(dst.At(0, 0), 1);
    EXPECT_EQ(src.CopyRect(0, 0, 1, 1, dst, 5, 5), -1);
    EXPECT_EQ(src.CopyRect(10, 10, 12, 12, dst, 0, 0), -1);
}

TEST(ImgContainers, RotationsAndMirrors) {
    ImgINT src(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.At(x, y) = 10 * y + x;
    ImgINT r90(2, 3), r270(2, 3), r180(3, 2), fv(3, 2), fh(3, 2);
    src.Rotate90(r90);
    EXPECT_EQ(r90.At(1, 0), src.At(0, 0));
    EXPECT_EQ(r90.At(0, 2), src.At(2, 1));
    src.Rotate270(r270);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(r270.At(y, 2 - x), src.At(x, y));
    src.Rotate180(r180);
    EXPECT_EQ(r180.At(2, 1), src.At(0, 0));
    EXPECT_EQ(r180.At(0, 0), src.At(2, 1));
    src.FlipVertical(fv);
    EXPECT_EQ(fv.At(1, 0), src.At(1, 1));
    src.FlipHorizontal(fh);
    EXPECT_EQ(fh.At(0, 1), src.At(2, 1));
    // Rotation converts the pixel type on the way.
    ImgRGB colour(2, 3);
    src.Rotate90(colour);
    EXPECT_EQ(colour.At(0, 2).g, 12);
    // 90 then 270 is the identity.
    ImgINT back(3, 2);
    r90.Rotate270(back);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(back.At(x, y), src.At(x, y));
}

TEST(ImgContainers, ClippingAndDrawing) {
    ImgUCHAR img(10, 8);
    int x0 = 8, y0 = 9, x1 = -3, y1 = 2;
    EXPECT_EQ(img.ClipRect(x0, y0, x1, y1), 1 | 8);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(x1, 8);
    EXPECT_EQ(y0, 2);
    EXPECT_EQ(y1, 7);
    x0 = 20, y0 = 0, x1 = 30, y1 = 3;
    EXPECT_EQ(img.ClipRect(x0, y0, x1, y1), -1);
    EXPECT_EQ(x0 + y0 + x1 + y1, 0);
    img.roiLeft = 2;
    x0 = 0, y0 = 0, x1 = 12, y1 = 12;
    EXPECT_EQ(img.ClipRect(x0, y0, x1, y1), 1 | 2 | 8);
    img.roiLeft = 0;

    x0 = -5, y0 = -5, x1 = 20, y1 = 20;
    EXPECT_EQ(img.ClipLine(x0, y0, x1, y1), 0);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(y0, 0);
    EXPECT_EQ(x1, 7);
    EXPECT_EQ(y1, 7);
    x0 = 9, y0 = 1, x1 = 2, y1 = 5;
    EXPECT_EQ(img.ClipLine(x0, y0, x1, y1), 0);
    EXPECT_EQ(x0, 2);  // left endpoint first
    EXPECT_EQ(y0, 5);
    x0 = -5, y0 = 20, x1 = 20, y1 = 40;
    EXPECT_EQ(img.ClipLine(x0, y0, x1, y1), -1);

    img.FillRect(0, 0, 9, 7, 0);
    EXPECT_EQ(img.DrawLine(0, 0, 4, 2, 1), 0);
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            lit += img.At(x, y);
    EXPECT_EQ(lit, 5);  // max(dx, dy) pixels
    EXPECT_EQ(img.At(0, 0), 1);
    EXPECT_EQ(img.At(4, 2), 1);
    EXPECT_EQ(img.DrawLine(-10, 50, -1, 60, 1), -1);

    img.FillRect(0, 0, 9, 7, 0);
    img.DrawRectOutline(1, 1, 5, 4, 2);
    EXPECT_EQ(img.At(1, 1), 2);
    EXPECT_EQ(img.At(5, 4), 2);
    EXPECT_EQ(img.At(3, 1), 2);
    EXPECT_EQ(img.At(3, 2), 0);

    ImgFLOAT f(4, 4);
    f.FillRect(0, 0, 3, 3, 1.5f);
    f.At(2, 3) = -4;
    f.At(0, 1) = 9;
    float lo = 0, hi = 0;
    EXPECT_EQ(f.MinMax(-1, -1, 10, 10, &lo, &hi), 0);
    EXPECT_EQ(lo, -4);
    EXPECT_EQ(hi, 9);
    EXPECT_EQ(f.MinMax(1, 0, 3, 0, &lo, nullptr), 0);
    EXPECT_EQ(lo, 1.5f);
    EXPECT_EQ(f.MinMax(5, 5, 6, 6, &lo, &hi), -1);
}

TEST(ImgContainers, InterpolateBlendsAndRgbaTruncatesFirst) {
    ImgFLOAT f(2, 2);
    f.At(0, 0) = 0;
    f.At(1, 0) = 10;
    f.At(0, 1) = 20;
    f.At(1, 1) = 30;
    float v;
    f.Interpolate(&v, 0.5, 0.25, 0, 0);
    EXPECT_FLOAT_EQ(v, 10);
    // Horizontal blends 1.5 (top) and 2.5 (bottom): in double the sample is 2.0; the 8-bit
    // four-channel image cuts them to 1 and 2 first and gets 1.5 -> 1.
    ImgRGB c(2, 2);
    ImgRGBA a(2, 2);
    const uint8_t values[4] = {0, 3, 1, 4};
    for (int k = 0; k < 4; ++k) {
        uint8_t v = values[k];
        c.At(k % 2, k / 2) = Rgb{v, v, v};
        a.At(k % 2, k / 2) = Rgba{v, v, v, v};
    }
    Rgb out;
    c.Interpolate(&out, 0.5, 0.5, 0, 0);
    EXPECT_EQ(out.b, 2);
    EXPECT_EQ(out.r, 2);
    Rgba o;
    a.Interpolate(&o, 0.5, 0.5, 0, 0);
    EXPECT_EQ(o.b, 1);
    EXPECT_EQ(o.a, 1);
}

TEST(List, CursorAccessAndGrowth) {
    List<int> list;
    EXPECT_EQ(list.Count(), 0);
    list.Grow(2) = 7;
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.At(0), 0);
    EXPECT_EQ(list.At(2), 7);
    list.Grow(3) = 8;  // Grow(count) appends one element
    EXPECT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i)
        list.At(i) += 1;
    EXPECT_EQ(list.At(3), 9);
    EXPECT_EQ(list.At(1), 1);
    try {
        list.At(4);
        FAIL();
    } catch (const char* message) {
        EXPECT_STREQ(message, "Invalid list index");
    }
    EXPECT_THROW(list.At(-1), const char*);
    list.Grow(-1) = 5;  // a dummy: the list is unchanged
    EXPECT_EQ(list.Count(), 4);
    List<int> copy = list;
    copy.At(0) = 100;
    EXPECT_EQ(list.At(0), 1);
}

TEST(ImgContainers, ImpossibleSizesRaiseTheAllocationException) {
    EXPECT_THROW(ImgRGB(0x7FFFFFFF, 2), std::bad_alloc);  // the stride alone overflows
    EXPECT_THROW(ImgFLOAT(0x10000000, 0x10000000), std::bad_alloc);
    ImgFLOAT img(3, 3);
    EXPECT_THROW(img.Resize(0x10000000, 0x10000000), std::bad_alloc);
    EXPECT_FALSE(img.HasPixels());  // emptied, not half-built
    EXPECT_EQ(img.width, 0);
    EXPECT_TRUE(img.Resize(2, 2));
    EXPECT_EQ(img.rowStride, 8);
}
