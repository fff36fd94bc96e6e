#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "dialogs/PanoramaParametersDialog.h"
#include "engine/PanoramaEngine.h"

namespace {

template <class T>
T* Child(QDialog& d, const char* name) {
    auto* widget = d.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

QDoubleSpinBox* Box(QDialog& d, const char* name) { return Child<QDoubleSpinBox>(d, name); }
QRadioButton* Radio(QDialog& d, const char* name) { return Child<QRadioButton>(d, name); }

// A click on the button's indicator: a short label leaves the middle of a wide button empty.
void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// An engine with stitching values away from the defaults and a clean modified flag.
PanoramaEngine EditedEngine() {
    PanoramaEngine engine;
    engine.SetProjectionType(ProjectionType::Planar);
    engine.SetPhotometricCorrectionType(kPhotometricColor);
    engine.SetVerticalCameraRotation(0.1);
    engine.SetCorrectionLimit(12.5);
    engine.SetDoGammaCorrection(true);
    engine.SetGamma(1.4);
    engine.SetDirty(false);
    return engine;
}

}  // namespace

TEST(PanoramaParametersDialog, EditorsShowTheEngineWithoutChangingIt) {
    PanoramaEngine engine = EditedEngine();
    PanoramaParametersDialog d(engine);
    struct Expected {
        const char* name;
        double min, max;
        int decimals;
        double shown;
    };
    const Expected boxes[] = {
        {"m_verticalCameraRotationDSpinBox", -45, 45, 1, 5.7},  // 0.1 radian
        {"m_correctionLimitDSpinBox", 1, 30, 1, 12.5},
        {"m_gammaDSpinBox", 0.5, 2, 2, 1.4},
    };
    for (const Expected& e : boxes) {
        QDoubleSpinBox* box = Box(d, e.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->minimum(), e.min) << e.name;
        EXPECT_EQ(box->maximum(), e.max) << e.name;
        EXPECT_EQ(box->decimals(), e.decimals) << e.name;
        EXPECT_DOUBLE_EQ(box->value(), e.shown) << e.name;
    }
    EXPECT_DOUBLE_EQ(Box(d, "m_gammaDSpinBox")->singleStep(), 0.05);
    EXPECT_TRUE(Radio(d, "m_planeProjectionRadioButton")->isChecked());
    EXPECT_TRUE(Radio(d, "m_colorPhotometricCorrectionRadioButton")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "m_contrastStretchingCheckBox")->isChecked());
    // Showing rounded values wrote nothing back.
    EXPECT_DOUBLE_EQ(engine.GetVerticalCameraRotation(), 0.1);
    EXPECT_FALSE(engine.IsDirty());

    QStringList yellow;
    for (QLabel* label : d.findChildren<QLabel*>())
        if (label->styleSheet() == "QLabel{background-color: rgb(248, 255, 128); padding: 3px; font: 10px;}")
            yellow << label->text();
    EXPECT_EQ(yellow.size(), 3);
    EXPECT_TRUE(yellow.contains("Use gamma correction to make the final panorama darker of brighter."));
    for (const char* range : {"1...30 [%]", "0.5(darker)..2(brighter)", "[Deg]"}) {
        bool found = false;
        for (QLabel* label : d.findChildren<QLabel*>())
            found = found || label->text() == range;
        EXPECT_TRUE(found) << range;
    }
}

TEST(PanoramaParametersDialog, EveryEditorWritesAtOnceAndCancelKeepsIt) {
    PanoramaEngine engine = EditedEngine();
    PanoramaParametersDialog d(engine);
    d.show();
    Click(Radio(d, "m_sphericalProjectionRadioButton"));
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Spherical));
    EXPECT_TRUE(engine.IsDirty());
    Click(Radio(d, "m_cylinderProjectionRadioButton"));
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Cylindrical));
    Click(Radio(d, "m_grayPhotometricCorrectionRadioButton"));
    EXPECT_EQ(engine.GetPhotometricCorrectionType(), kPhotometricGray);
    Click(Radio(d, "m_noPhotometricCorrectionRadioButton"));
    EXPECT_EQ(engine.GetPhotometricCorrectionType(), kPhotometricNone);
    Box(d, "m_verticalCameraRotationDSpinBox")->setValue(-30);
    EXPECT_DOUBLE_EQ(engine.GetVerticalCameraRotation(), -30 * 0.017453292519943295);
    Box(d, "m_correctionLimitDSpinBox")->setValue(7.5);
    EXPECT_DOUBLE_EQ(engine.GetCorrectionLimit(), 7.5);
    Click(Child<QCheckBox>(d, "m_contrastStretchingCheckBox"));
    EXPECT_FALSE(engine.GetDoGammaCorrection());

    // The arrows walk the gamma in steps of 0.05, and the box shows the value in effect (with one
    // decimal 1.05 would read "1.1" while the stitch uses 1.05).
    QDoubleSpinBox* gamma = Box(d, "m_gammaDSpinBox");
    gamma->setValue(1.1);
    gamma->stepDown();
    EXPECT_DOUBLE_EQ(engine.GetGamma(), 1.05);
    EXPECT_EQ(gamma->text(), QLocale().toString(1.05, 'f', 2));
    gamma->stepDown();
    EXPECT_DOUBLE_EQ(engine.GetGamma(), 1.0);

    d.findChild<QDialogButtonBox*>("m_buttonBox")->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Cylindrical));
    EXPECT_DOUBLE_EQ(engine.GetCorrectionLimit(), 7.5);
}

TEST(PanoramaParametersDialog, SetDefaultsResetsTheStitchingValuesAndShowsThem) {
    PanoramaEngine engine = EditedEngine();
    engine.SetPanoramaImageSize(4096);
    engine.SetFeatureMatchingRadius(5);
    engine.SetDirty(false);
    PanoramaParametersDialog d(engine);
    d.show();
    QTest::mouseClick(Child<QPushButton>(d, "m_setDefaultsPushButton"), Qt::LeftButton);
    PanoramaEngine fresh;
    EXPECT_EQ(engine.GetProjectionType(), fresh.GetProjectionType());
    EXPECT_EQ(engine.GetPhotometricCorrectionType(), fresh.GetPhotometricCorrectionType());
    EXPECT_EQ(engine.GetGamma(), fresh.GetGamma());
    EXPECT_EQ(engine.GetPanoramaImageSize(), fresh.GetPanoramaImageSize());
    EXPECT_DOUBLE_EQ(engine.GetFeatureMatchingRadius(), 5);  // a matching value: not this dialog's
    EXPECT_TRUE(engine.IsDirty());
    EXPECT_TRUE(Radio(d, "m_sphericalProjectionRadioButton")->isChecked());
    EXPECT_TRUE(Radio(d, "m_grayPhotometricCorrectionRadioButton")->isChecked());
    EXPECT_DOUBLE_EQ(Box(d, "m_verticalCameraRotationDSpinBox")->value(), 0);
    EXPECT_DOUBLE_EQ(Box(d, "m_correctionLimitDSpinBox")->value(), fresh.GetCorrectionLimit());
    EXPECT_FALSE(Child<QCheckBox>(d, "m_contrastStretchingCheckBox")->isChecked());
    QDir().mkpath(VEDORA_FRAME_DIR);
    EXPECT_TRUE(d.grab().save(QString(VEDORA_FRAME_DIR) + "/panorama-parameters.png"));
}
