#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

#include "dialogs/ImageViewSettingsDialog.h"

namespace {

struct Settings {
    int sourceImages = 768, imagePair = 2048, stitchImage = 1536, cropImage = 1024, markerSize = 7, markerThickness = 3;
};

QSpinBox* SpinBox(QDialog& d, const char* name) {
    auto* box = d.findChild<QSpinBox*>(name);
    EXPECT_NE(box, nullptr) << name;
    return box;
}

}  // namespace

TEST(ImageViewSettingsDialog, EditorsRangesAndLabels) {
    Settings s;
    ImageViewSettingsDialog d(&s.sourceImages, &s.imagePair, &s.stitchImage, &s.cropImage, &s.markerSize,
                              &s.markerThickness);
    struct Expected {
        const char* name;
        int min, max, step, shown;
    };
    const Expected boxes[] = {
        // One range for every picture, the settings file's own.
        {"m_sourceImagesSpinBox", kMinTextureLimit, kMaxTextureLimit, 128, 768},
        {"m_imagePairSpinBox", kMinTextureLimit, kMaxTextureLimit, 128, 2048},
        {"m_stitchImageSpinBox", kMinTextureLimit, kMaxTextureLimit, 128, 1536},
        {"m_cropImageSpinBox", kMinTextureLimit, kMaxTextureLimit, 128, 1024},
        {"m_markerSizeSpinBox", 2, 10, 1, 7},
        {"m_markerThicknessSpinBox", 1, 5, 1, 3},
    };
    for (const Expected& e : boxes) {
        QSpinBox* box = SpinBox(d, e.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->minimum(), e.min) << e.name;
        EXPECT_EQ(box->maximum(), e.max) << e.name;
        EXPECT_EQ(box->singleStep(), e.step) << e.name;
        EXPECT_EQ(box->value(), e.shown) << e.name;
    }
    // Labels as the users know them, the explanations on yellow.
    QStringList texts;
    int yellow = 0;
    for (QLabel* label : d.findChildren<QLabel*>()) {
        texts << label->text();
        if (label->styleSheet() == "QLabel{background-color: rgb(248, 255, 128); padding: 3px; font: 10px;}")
            ++yellow;
    }
    for (const char* text :
         {"Source images:", "Selected image pair:", "Stitch image:", "Crop image:", "Size:", "Thickness:"})
        EXPECT_TRUE(texts.contains(text)) << text;
    EXPECT_EQ(yellow, 2);
    EXPECT_TRUE(texts.contains("Here you can change the size of the corresponing point markers that are used for "
                               "manual matching."));
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString& t) {
        return t.startsWith("Lower the size of the soucre image texture size, if the display is too slow.") &&
               t.endsWith("use an external viewer).  ");
    }));
    EXPECT_NE(d.findChild<QPushButton*>("m_setDefaultsPushButton"), nullptr);

    // A look at the dialog.
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QDir().mkpath(VEDORA_FRAME_DIR);
    d.grab().save(QString(VEDORA_FRAME_DIR) + "/image-view-settings.png");
}

TEST(ImageViewSettingsDialog, ChangesAreWrittenAtOnceAndCancelKeepsThem) {
    Settings s;
    ImageViewSettingsDialog d(&s.sourceImages, &s.imagePair, &s.stitchImage, &s.cropImage, &s.markerSize,
                              &s.markerThickness);
    SpinBox(d, "m_sourceImagesSpinBox")->setValue(1024);
    SpinBox(d, "m_imagePairSpinBox")->setValue(3072);
    SpinBox(d, "m_stitchImageSpinBox")->stepUp();
    SpinBox(d, "m_cropImageSpinBox")->setValue(4096);
    SpinBox(d, "m_markerSizeSpinBox")->setValue(9);
    SpinBox(d, "m_markerThicknessSpinBox")->setValue(5);
    EXPECT_EQ(s.sourceImages, 1024);
    EXPECT_EQ(s.imagePair, 3072);
    EXPECT_EQ(s.stitchImage, 1536 + 128);
    EXPECT_EQ(s.cropImage, 4096);
    EXPECT_EQ(s.markerSize, 9);
    EXPECT_EQ(s.markerThickness, 5);
    // Cancel closes the dialog and undoes nothing.
    d.show();
    auto* buttons = d.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(s.sourceImages, 1024);
    EXPECT_EQ(s.markerSize, 9);
    // OK closes with acceptance.
    d.show();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(ImageViewSettingsDialog, SetDefaultsLeavesTheMarkers) {
    Settings s;
    ImageViewSettingsDialog d(&s.sourceImages, &s.imagePair, &s.stitchImage, &s.cropImage, &s.markerSize,
                              &s.markerThickness);
    d.show();
    QTest::mouseClick(d.findChild<QPushButton*>("m_setDefaultsPushButton"), Qt::LeftButton);
    EXPECT_EQ(s.sourceImages, 512);
    EXPECT_EQ(s.imagePair, 1024);
    EXPECT_EQ(s.stitchImage, 1024);
    // The crop limit's default is 2048 although the form starts at 1024.
    EXPECT_EQ(s.cropImage, 2048);
    EXPECT_EQ(s.markerSize, 7);
    EXPECT_EQ(s.markerThickness, 3);
    EXPECT_EQ(SpinBox(d, "m_cropImageSpinBox")->value(), 2048);
    EXPECT_EQ(SpinBox(d, "m_sourceImagesSpinBox")->value(), 512);
}

TEST(ImageViewSettingsDialog, OpeningNeverChangesAValueOutsideABoxsRange) {
    // The window's setting may lie below a box's minimum (an old file's 64 in a 128..16384
    // box): showing it must not overwrite it.
    Settings s;
    s.imagePair = 64;
    s.sourceImages = 64;
    ImageViewSettingsDialog d(&s.sourceImages, &s.imagePair, &s.stitchImage, &s.cropImage, &s.markerSize,
                              &s.markerThickness);
    EXPECT_EQ(s.imagePair, 64);
    EXPECT_EQ(s.sourceImages, 64);
    EXPECT_EQ(SpinBox(d, "m_imagePairSpinBox")->value(), kMinTextureLimit);
    // Once the user edits it, the edited value counts.
    SpinBox(d, "m_imagePairSpinBox")->stepUp();
    EXPECT_EQ(s.imagePair, kMinTextureLimit + 128);
}
