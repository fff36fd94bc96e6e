#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "dialogs/AutomaticParametersDialog.h"
#include "engine/PanoramaEngine.h"

namespace {

QDoubleSpinBox* Box(QDialog& d, const char* name) {
    auto* box = d.findChild<QDoubleSpinBox*>(name);
    EXPECT_NE(box, nullptr) << name;
    return box;
}

// An engine whose matching parameters all differ from their defaults.
void SetOwnValues(PanoramaEngine& engine) {
    engine.SetFeatureExtractionMaxNofPoints(840);
    engine.SetFeatureExtractionSpacing(1.7);
    engine.SetFeatureExtractionImageSize(850);
    engine.SetFeatureMatchingRadius(4.5);
    engine.SetFeatureMatchingRansacThreshold(2.2);
    engine.SetDirty(false);
}

}  // namespace

TEST(AutomaticParametersDialog, EditorsRangesLabelsAndTheEnginesValues) {
    PanoramaEngine engine;
    SetOwnValues(engine);
    AutomaticParametersDialog d(engine);
    EXPECT_EQ(d.windowTitle(), "Automatic matching parameters");
    struct Expected {
        const char* name;
        double min, max, step;
        int decimals;
        double shown;
    };
    const Expected boxes[] = {
        {"m_maxNofPointsDSpinBox", 200, 2000, 20, 0, 840},        {"m_spacingDSpinBox", 0.3, 3, 0.1, 1, 1.7},
        {"m_extractionImageSizeDSpinBox", 200, 2000, 50, 0, 850}, {"m_matchingRadiusDSpinBox", 1, 6, 0.1, 1, 4.5},
        {"m_ransacThresholdDSpinBox", 1, 10, 0.2, 1, 2.2},
    };
    for (const Expected& e : boxes) {
        QDoubleSpinBox* box = Box(d, e.name);
        ASSERT_NE(box, nullptr);
        EXPECT_DOUBLE_EQ(box->minimum(), e.min) << e.name;
        EXPECT_DOUBLE_EQ(box->maximum(), e.max) << e.name;
        EXPECT_DOUBLE_EQ(box->singleStep(), e.step) << e.name;
        EXPECT_EQ(box->decimals(), e.decimals) << e.name;
        EXPECT_DOUBLE_EQ(box->value(), e.shown) << e.name;
    }
    // Showing the values changed nothing.
    EXPECT_FALSE(engine.IsDirty());

    QStringList texts;
    int yellow = 0;
    for (QLabel* label : d.findChildren<QLabel*>()) {
        texts << label->text();
        if (label->styleSheet() == "QLabel{background-color: rgb(248, 255, 128); padding: 3px; font: 10px;}")
            ++yellow;
    }
    for (const char* text :
         {"Max. number of points:", "Points spacing:", "Extraction image size:", "Feature matching radius:",
          "RANSAC threshold:", "200..2000", "0.3..3 [%]", "200..2000 [Pixel]", "1..6 [%]", "1..10 [Pixel]",
          "Defines the area around the feature points that is used for feature matching."})
        EXPECT_TRUE(texts.contains(text)) << text;
    EXPECT_EQ(yellow, 4);
    auto has = [&](const char* start, const char* end) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const QString& t) { return t.startsWith(start) && t.endsWith(end); });
    };
    EXPECT_TRUE(has("Choose the maximum number of feature poinst to be extracted",
                    "increase the number of points or increase the spacing. "));
    EXPECT_TRUE(has("To extract the sailent feature points, the original photographs are downsampled",
                    "If overlaps are big  enough, you can try to lower the extration image size. "));
    EXPECT_TRUE(has("The corresponding points of an overlapping image should describe a pure camera rotation",
                    "how much a point can deviate from this idealized model."));
    QStringList titles;
    for (QGroupBox* group : d.findChildren<QGroupBox*>())
        titles << group->title();
    EXPECT_TRUE(titles.contains("Salient feature point extraction"));
    EXPECT_TRUE(titles.contains("Feature point matching"));

    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QDir().mkpath(VEDORA_FRAME_DIR);
    d.grab().save(QString(VEDORA_FRAME_DIR) + "/automatic-parameters.png");
}

TEST(AutomaticParametersDialog, EveryChangeGoesIntoTheEngineAndCancelKeepsIt) {
    PanoramaEngine engine;
    SetOwnValues(engine);
    AutomaticParametersDialog d(engine);
    Box(d, "m_maxNofPointsDSpinBox")->stepUp();
    EXPECT_EQ(engine.GetFeatureExtractionMaxNofPoints(), 860);
    EXPECT_TRUE(engine.IsDirty());
    Box(d, "m_spacingDSpinBox")->setValue(0.4);
    EXPECT_DOUBLE_EQ(engine.GetFeatureExtractionSpacing(), 0.4);
    Box(d, "m_extractionImageSizeDSpinBox")->stepDown();
    EXPECT_EQ(engine.GetFeatureExtractionImageSize(), 800);
    Box(d, "m_matchingRadiusDSpinBox")->setValue(5.9);
    EXPECT_DOUBLE_EQ(engine.GetFeatureMatchingRadius(), 5.9);
    Box(d, "m_ransacThresholdDSpinBox")->stepUp();
    EXPECT_NEAR(engine.GetFeatureMatchingRansacThreshold(), 2.4, 1e-9);
    // Beyond the range the box stops at its end.
    Box(d, "m_ransacThresholdDSpinBox")->setValue(25);
    EXPECT_DOUBLE_EQ(engine.GetFeatureMatchingRansacThreshold(), 10);

    // A size the engine already holds is not written again: the project stays clean.
    engine.SetDirty(false);
    Box(d, "m_extractionImageSizeDSpinBox")->setValue(800.4);
    EXPECT_FALSE(engine.IsDirty());

    d.show();
    auto* buttons = d.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_DOUBLE_EQ(engine.GetFeatureMatchingRadius(), 5.9);
    d.show();
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(AutomaticParametersDialog, SetDefaultsResetsTheMatchingParametersOnly) {
    PanoramaEngine engine;
    SetOwnValues(engine);
    engine.SetGamma(1.4);
    PanoramaEngine defaults;
    AutomaticParametersDialog d(engine);
    d.show();
    QTest::mouseClick(d.findChild<QPushButton*>("m_setDefaultsPushButton"), Qt::LeftButton);
    for (ParameterId id : {kFeatureExtractionMaxNofPoints, kFeatureExtractionSpacing, kFeatureExtractionImageSize,
                           kFeatureMatchingRadius, kFeatureMatchingRansacThreshold})
        EXPECT_DOUBLE_EQ(engine.GetParameter(id), defaults.GetParameter(id)) << Parameter(id).attribute;
    EXPECT_DOUBLE_EQ(engine.GetGamma(), 1.4);
    EXPECT_DOUBLE_EQ(Box(d, "m_maxNofPointsDSpinBox")->value(), defaults.GetFeatureExtractionMaxNofPoints());
    EXPECT_DOUBLE_EQ(Box(d, "m_matchingRadiusDSpinBox")->value(), defaults.GetFeatureMatchingRadius());
    EXPECT_DOUBLE_EQ(Box(d, "m_extractionImageSizeDSpinBox")->value(), defaults.GetFeatureExtractionImageSize());
}

TEST(AutomaticParametersDialog, OpeningNeverChangesAValueOutsideABoxsRange) {
    // A project file may hold a value the editors cannot show; showing it must not change it.
    PanoramaEngine engine;
    engine.SetParameter(kFeatureMatchingRansacThreshold, 0.5);
    engine.SetDirty(false);
    AutomaticParametersDialog d(engine);
    EXPECT_DOUBLE_EQ(engine.GetFeatureMatchingRansacThreshold(), 0.5);
    EXPECT_DOUBLE_EQ(Box(d, "m_ransacThresholdDSpinBox")->value(), 1);
    EXPECT_FALSE(engine.IsDirty());
}
