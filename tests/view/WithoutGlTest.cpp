#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "view/GuiBitmap.h"
#include "view/OpenGLSupport.h"
#include "view/ViewCommands.h"
#include "view/ZelvoWidget.h"

TEST(ViewWithoutGL, AMessageTakesTheViewsPlaceAndTheSceneStillWorks) {
    ASSERT_FALSE(OpenGLAvailable());
    ZelvoWidget view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_FALSE(view.HasOpenGL());
    EXPECT_EQ(view.GLWidget(), nullptr);
    auto* label = view.findChild<QLabel*>("m_openGLUnavailableLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), ZelvoWidget::UnavailableText());
    EXPECT_TRUE(label->text().contains("OpenGL"));
    const QImage shot = view.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save(QString(VEDORA_FRAME_DIR) + "/view-without-gl.png");

    // The window's scene work goes on: pictures are placed, fitted and selected.
    GuiBitmap photo;
    photo.Image().Resize(64, 48);
    photo.SizeToImage();
    view.Manager().Add(&photo);
    view.Manager().SetViewportSize(400, 300);
    ArrangePictures(view.Manager(), {&photo}, {});
    view.Repaint();
    EXPECT_NEAR(view.Manager().GetZoom(), 399 / 65.5, 1e-9);
    view.Manager().LeftPress(10, 10);
    EXPECT_EQ(view.Manager().Selected(), &photo);
}
