// The view drawn by a real GL implementation (Mesa's software renderer under xvfb-run). Each
// test skips itself where no GL context can be made.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <functional>

#include "FakeTextureGL.h"
#include "view/GuiBitmap.h"
#include "view/GuiChainedPoints.h"
#include "view/GuiRect.h"
#include "view/OpenGLSupport.h"
#include "view/TextureGL.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

#define REQUIRE_GL()                                                                                                   \
    if (!OpenGLAvailable())                                                                                            \
    GTEST_SKIP() << "no OpenGL context on this platform (run under xvfb-run)"

namespace {

// The photograph: four quadrants of distinct colours, 160 x 120.
const QColor kTopLeft(200, 0, 0), kTopRight(0, 160, 0), kBottomLeft(0, 0, 200), kBottomRight(90, 90, 90);

void FillQuadrants(ImgRGB& img, int w, int h) {
    img.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QColor& c = y < h / 2 ? (x < w / 2 ? kTopLeft : kTopRight) : (x < w / 2 ? kBottomLeft : kBottomRight);
            img.At(x, y) = Rgb{uint8_t(c.blue()), uint8_t(c.green()), uint8_t(c.red())};
        }
}

bool Near(const QColor& c, const QColor& want, int tolerance = 8) {
    return std::abs(c.red() - want.red()) <= tolerance && std::abs(c.green() - want.green()) <= tolerance &&
           std::abs(c.blue() - want.blue()) <= tolerance;
}

std::string Describe(const QColor& c) {
    return "(" + std::to_string(c.red()) + ", " + std::to_string(c.green()) + ", " + std::to_string(c.blue()) + ")";
}

#define EXPECT_PIXEL(img, x, y, colour)                                                                                \
    EXPECT_TRUE(Near((img).pixelColor(x, y), colour))                                                                  \
        << "pixel (" << (x) << ", " << (y) << ") is " << Describe((img).pixelColor(x, y)) << ", want "                 \
        << Describe(colour)

// Whether some pixel within `radius` of (x, y) matches.
bool AnyNear(const QImage& img, int x, int y, int radius, const std::function<bool(const QColor&)>& match) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (img.valid(x + dx, y + dy) && match(img.pixelColor(x + dx, y + dy)))
                return true;
    return false;
}

void SaveFrame(const QImage& img, const QString& name) {
    QDir().mkpath(VEDORA_FRAME_DIR);
    img.save(QString(VEDORA_FRAME_DIR) + "/" + name + ".png");
}

// A view with a photograph carrying point markers, a partner picture with the matching
// markers, and a cyan frame.
struct Scene {
    ZelvoWidget view;
    GuiBitmap photo, partner;
    GuiRect frame;
    GuiChainedPoints first, second;
    std::vector<std::pair<QString, QString>> warnings;

    Scene() {
        view.SetWarningPrompt([this](const QString& t, const QString& m) { warnings.emplace_back(t, m); });
        view.resize(480, 360);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));

        FillQuadrants(photo.Image(), 160, 120);
        photo.SizeToImage();
        photo.SetTopLeft({20, 30});
        photo.SetColor(1, 1, 1, 1);
        photo.SetFlags(kGuiVisible | kGuiMovable);
        photo.MarkForUpload();
        partner.Image().Resize(120, 90);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                partner.Image().At(x, y) = Rgb{120, 120, 120};
        partner.SizeToImage();
        partner.SetTopLeft({250, 180});
        partner.SetColor(1, 1, 1, 1);
        partner.SetFlags(kGuiVisible | kGuiMovable);
        frame.SetWidth(100);
        frame.SetHeight(80);
        frame.SetTopLeft({250, 40});
        frame.SetColor(0, 1, 1, 1);
        Mgr().Add(&photo);
        Mgr().Add(&partner);
        Mgr().Add(&frame);

        first.SetPoints({{40, 30}, {120, 90}});
        second.SetPoints({{20, 20}, {100, 70}});
        first.SetColor(1, 1, 0, 1);
        second.SetColor(1, 0, 1, 1);
        first.SetMarkerHalfSize(3);
        second.SetMarkerHalfSize(3);
        photo.AddChild(&first);
        partner.AddChild(&second);
        first.LinkTo(&second);
    }

    GuiMgr& Mgr() { return view.Manager(); }
    ZelvoGLWidget* Gl() { return view.GLWidget(); }
    QImage Grab() {
        view.Repaint();
        return Gl()->grabFramebuffer();
    }
    QPoint Screen(double sceneX, double sceneY) {
        const PointD s = Mgr().SceneToScreen({sceneX, sceneY});
        return QPoint(int(s.x), int(s.y));
    }
};

}  // namespace

TEST(GlView, SceneIsDrawnAtItsPlaceAndZoom) {
    REQUIRE_GL();
    Scene s;
    QImage img = s.Grab();
    SaveFrame(img, "scene-zoom1");
    ASSERT_EQ(img.width(), s.Gl()->width());
    // The photograph's quadrants (sampled away from the markers) at (20, 30) + image pixel.
    EXPECT_PIXEL(img, 40, 75, kTopLeft);
    EXPECT_PIXEL(img, 140, 50, kTopRight);
    EXPECT_PIXEL(img, 50, 130, kBottomLeft);
    EXPECT_PIXEL(img, 160, 140, kBottomRight);
    EXPECT_PIXEL(img, 300, 220, QColor(120, 120, 120));
    // Background, outside every object.
    EXPECT_PIXEL(img, 450, 20, QColor(0, 0, 0));
    EXPECT_PIXEL(img, 10, 300, QColor(0, 0, 0));
    // The frame's outline in its colour, its inside left alone.
    EXPECT_TRUE(AnyNear(img, 250, 80, 1, [](const QColor& c) { return Near(c, QColor(0, 255, 255)); }));
    EXPECT_TRUE(AnyNear(img, 300, 40, 1, [](const QColor& c) { return Near(c, QColor(0, 255, 255)); }));
    EXPECT_PIXEL(img, 300, 80, QColor(0, 0, 0));
    // The photograph's white outline.
    EXPECT_TRUE(AnyNear(img, 20, 100, 1, [](const QColor& c) { return Near(c, QColor(255, 255, 255)); }));

    // A yellow marker of half-size 3 at image (40, 30), screen (60, 60): arms reach 3.5
    // pixels, so 3 pixels out from the centre are lit and 5 are not.
    auto yellow = [](const QColor& c) { return Near(c, QColor(255, 255, 0), 20); };
    // (The centre pixel itself belongs to the line that joins the pair.)
    for (int d : {-3, -1, 1, 3}) {
        EXPECT_TRUE(yellow(img.pixelColor(60 + d, 60))) << "horizontal arm at " << d;
        EXPECT_TRUE(yellow(img.pixelColor(60, 60 + d))) << "vertical arm at " << d;
    }
    for (int d : {-5, 5}) {
        EXPECT_FALSE(yellow(img.pixelColor(60 + d, 60))) << "beyond the arm at " << d;
        EXPECT_FALSE(yellow(img.pixelColor(60, 60 + d))) << "beyond the arm at " << d;
    }
    EXPECT_FALSE(yellow(img.pixelColor(62, 62)));
    // The magenta marker on the partner at (250 + 20, 180 + 20).
    EXPECT_TRUE(AnyNear(img, 270, 200, 1, [](const QColor& c) { return Near(c, QColor(255, 0, 255), 20); }));
    // The line joining the first pair, 80 % of the way, over the black background: drawn
    // translucent in the two sets' colours.
    EXPECT_TRUE(AnyNear(img, 228, 172, 1, [](const QColor& c) { return c.red() > 100 && c.green() < 200; }));

    // Zoom 2 with an offset: the photograph's top-left goes to 2 * (20 - 10, 30 - 15).
    s.Mgr().SetZoom(2, true);
    s.Mgr().SetOffset(-10, -15, true);
    img = s.Grab();
    SaveFrame(img, "scene-zoom2");
    EXPECT_PIXEL(img, 60, 120, kTopLeft);      // image (20, 45)
    EXPECT_PIXEL(img, 260, 60, kTopRight);     // image (120, 20)
    EXPECT_PIXEL(img, 160, 230, kBottomLeft);  // image (70, 100)
    EXPECT_PIXEL(img, 16, 120, QColor(0, 0, 0));
    EXPECT_PIXEL(img, 22, 120, kTopLeft);
    EXPECT_TRUE(AnyNear(img, 20, 120, 1, [](const QColor& c) { return Near(c, QColor(255, 255, 255)); }));
    // The marker at image (40, 30): scene (60, 60), screen (100, 90); arms still in pixels.
    EXPECT_TRUE(yellow(img.pixelColor(97, 90)));
    EXPECT_TRUE(yellow(img.pixelColor(103, 90)));
    EXPECT_FALSE(yellow(img.pixelColor(105, 90)));

    // The implementation takes any texture size; textures are handed over blue first.
    EXPECT_TRUE(ProcessTextureCapabilities().arbitrarySizes);
    EXPECT_TRUE(ProcessTextureCapabilities().bgrUpload);
    EXPECT_EQ(s.photo.Layout().textureWidth, 160);
}

TEST(GlView, OldGLPathsDrawTheSamePicture) {
    REQUIRE_GL();
    Scene s;
    const QImage modern = s.Grab();
    // Power-of-two textures with red-first upload, and a reduced texture: same colours.
    FixTextureCapabilities({false, false});
    s.photo.MarkForUpload();
    s.partner.MarkForUpload();
    const QImage old = s.Grab();
    SaveFrame(old, "scene-gl1-paths");
    EXPECT_EQ(s.photo.Layout().textureWidth, 256);
    EXPECT_EQ(s.photo.Layout().textureHeight, 128);
    for (auto [x, y] : {std::pair{40, 75}, {140, 50}, {50, 130}, {160, 140}, {300, 220}})
        EXPECT_PIXEL(old, x, y, modern.pixelColor(x, y));
    s.photo.SetTextureLimit(64);
    const QImage reduced = s.Grab();
    ResetTextureCapabilities();
    EXPECT_TRUE(s.photo.Layout().scaled);
    EXPECT_PIXEL(reduced, 40, 75, kTopLeft);
    EXPECT_PIXEL(reduced, 160, 140, kBottomRight);
}

TEST(GlView, DraggingThePhotographMovesItByDistanceOverZoom) {
    REQUIRE_GL();
    Scene s;
    s.Mgr().SetZoom(2, true);
    s.Mgr().SetOffset(-10, -15, true);
    s.Grab();
    QSignalSpy selected(&s.view, &ZelvoWidget::ObjSelected);
    QSignalSpy deselected(&s.view, &ZelvoWidget::ObjDeselected);
    QWidget* gl = s.Gl();
    const QPoint start(60, 120);  // inside the photograph, away from its markers
    QTest::mousePress(gl, Qt::LeftButton, Qt::NoModifier, start);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).value<GuiObj*>(), &s.photo);
    QTest::mouseMove(gl, start + QPoint(20, 10));
    QTest::mouseMove(gl, start + QPoint(40, 20));
    QTest::mouseRelease(gl, Qt::LeftButton, Qt::NoModifier, start + QPoint(40, 20));
    EXPECT_NEAR(s.photo.TopLeft().x, 40, 1e-9);
    EXPECT_NEAR(s.photo.TopLeft().y, 40, 1e-9);
    const QImage img = s.Grab();
    SaveFrame(img, "scene-dragged");
    EXPECT_PIXEL(img, 100, 140, kTopLeft);  // image (20, 45) after the move
    // The markers went along with their photograph.
    EXPECT_NEAR(s.first.ToScreen(s.first.Point(0)).x, 2 * (40 + 40 - 10), 1e-9);

    // Pressing the selected photograph again says nothing to the window; empty space deselects.
    QTest::mouseClick(gl, Qt::LeftButton, Qt::NoModifier, QPoint(100, 140));
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(deselected.count(), 0);
    QTest::mouseClick(gl, Qt::LeftButton, Qt::NoModifier, QPoint(460, 340));
    EXPECT_EQ(deselected.count(), 1);
    EXPECT_EQ(s.Mgr().Selected(), nullptr);

    // Right-drag pans by distance / zoom.
    const PointD before = s.Mgr().GetOffset();
    QTest::mousePress(gl, Qt::RightButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(gl, QPoint(310, 300));
    QTest::mouseRelease(gl, Qt::RightButton, Qt::NoModifier, QPoint(310, 300));
    EXPECT_NEAR(s.Mgr().GetOffset().x, before.x + 5, 1e-9);
}

TEST(GlView, WheelAndKeysDriveTheManagerAndOtherKeysGoToTheWindow) {
    REQUIRE_GL();
    Scene s;
    s.Grab();
    qRegisterMetaType<QKeyEvent*>();
    QSignalSpy zoomed(&s.view, &ZelvoWidget::ZoomChanged);
    QSignalSpy keys(&s.view, &ZelvoWidget::KeyPressed);
    QWidget* gl = s.Gl();
    const QPointF pointer(100, 80);
    const PointD under = s.Mgr().ScreenToScene({100, 80});
    QWheelEvent wheel(pointer, gl->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(gl, &wheel);
    EXPECT_DOUBLE_EQ(s.Mgr().GetZoom(), 1.15);
    EXPECT_NEAR(s.Mgr().ScreenToScene({100, 80}).x, under.x, 1e-9);
    ASSERT_GE(zoomed.count(), 1);
    EXPECT_DOUBLE_EQ(zoomed.last().at(0).toDouble(), 1.15);

    QTest::keyClick(gl, Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(s.Mgr().GetZoom(), 1.15 * 1.1);
    QTest::keyClick(gl, Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(s.Mgr().GetZoom(), 1.15 * 1.1 * 0.909);
    QTest::keyClick(gl, Qt::Key_Home);
    EXPECT_EQ(keys.count(), 0);
    // Fitted: the whole scene (x 20..370, y 30..270) fills the view's width or height.
    const PointD topLeft = s.Mgr().SceneToScreen({20, 30});
    EXPECT_NEAR(topLeft.x, 0, 1.0 * s.Mgr().GetZoom());
    // A digit is not the view's: the window receives it.
    QTest::keyClick(gl, Qt::Key_1);
    ASSERT_EQ(keys.count(), 1);
}

TEST(GlView, ExceptionsBecomeOneWarningAndTheViewStaysUsable) {
    REQUIRE_GL();
    Scene s;
    s.Grab();
    struct Throwing : GuiRect {
        bool inDrag = false, inDraw = false;
        void Drag(const PointD& p, const PointD& g, int mode, int h) override {
            if (inDrag && mode == kGuiDragPressNew)
                throw "drag failed";
            GuiRect::Drag(p, g, mode, h);
        }
        void Draw(const CMatrix& t) override {
            if (inDraw)
                throw "draw failed";
            GuiRect::Draw(t);
        }
    } bad;
    bad.SetWidth(40);
    bad.SetHeight(40);
    bad.SetTopLeft({400, 250});
    s.Mgr().Add(&bad);
    bad.inDrag = true;
    QTest::mouseClick(s.Gl(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 270));
    EXPECT_TRUE(s.warnings.empty());  // shown from the event loop, not inside the handler
    QApplication::processEvents();
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(s.warnings[0].first.toStdString(), "Exception");
    EXPECT_EQ(s.warnings[0].second.toStdString(), "An exception occurred in the GL Widget !\n");
    // Still usable: the photograph can be selected.
    QTest::mouseClick(s.Gl(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 75));
    EXPECT_EQ(s.Mgr().Selected(), &s.photo);

    bad.inDrag = false;
    bad.inDraw = true;
    s.Grab();
    QApplication::processEvents();
    EXPECT_EQ(s.warnings.size(), 2u);
    bad.inDraw = false;
    const QImage img = s.Grab();
    EXPECT_PIXEL(img, 40, 75, kTopLeft);
    EXPECT_TRUE(s.Gl()->RepaintTimer().isActive());

    // GL that cannot make a texture: one warning, not one per frame.
    FakeTextureGL failing;
    failing.failGen = true;
    InstallTextureGL(&failing);
    GuiBitmap extra;
    FillQuadrants(extra.Image(), 8, 8);
    extra.SizeToImage();
    s.Mgr().Add(&extra);
    for (int i = 0; i < 4; ++i) {
        s.Grab();
        QApplication::processEvents();
    }
    InstallTextureGL(nullptr);
    EXPECT_EQ(s.warnings.size(), 3u);
}

TEST(GlView, TimerIsStoppedWhilePainting) {
    REQUIRE_GL();
    Scene s;
    struct Probe : GuiRect {
        ZelvoGLWidget* widget = nullptr;
        int draws = 0, timerActive = 0, painting = 0;
        void Draw(const CMatrix& t) override {
            ++draws;
            timerActive += widget->RepaintTimer().isActive() ? 1 : 0;
            painting += widget->IsPainting() ? 1 : 0;
            GuiRect::Draw(t);
        }
    } probe;
    probe.widget = s.Gl();
    s.Mgr().Add(&probe);
    s.Grab();
    EXPECT_GE(probe.draws, 1);
    EXPECT_EQ(probe.timerActive, 0);
    EXPECT_EQ(probe.painting, probe.draws);
    EXPECT_TRUE(s.Gl()->RepaintTimer().isActive());
    EXPECT_EQ(s.Gl()->RepaintTimer().interval(), ZelvoGLWidget::kRepaintIntervalMs);
    EXPECT_FALSE(s.Gl()->IsPainting());
    // A change repaints from the timer without anyone asking.
    const int before = probe.draws;
    probe.SetPosition({probe.GetPosition().x + 1, 0});
    QTest::qWait(150);
    EXPECT_GT(probe.draws, before);
}

TEST(GlView, FocusFrameFollowsTheKeyboardFocus) {
    REQUIRE_GL();
    Scene s;
    s.view.activateWindow();
    if (!QTest::qWaitForWindowActive(&s.view))
        GTEST_SKIP() << "the display gives no window the focus";
    s.view.FocusView();
    QApplication::processEvents();
    EXPECT_TRUE(s.Gl()->hasFocus());
    EXPECT_TRUE(s.view.styleSheet().contains("3px solid"));
    s.Gl()->clearFocus();
    QApplication::processEvents();
    EXPECT_TRUE(s.view.styleSheet().contains("0px solid"));
}

TEST(GlView, SelectedCropFrameShowsItsDashesAndHandles) {
    REQUIRE_GL();
    Scene s;
    // A yellow crop frame on the photograph, as the panorama page places it.
    GuiRect crop;
    crop.SetColor(1, 1, 0, 1);
    crop.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside);
    crop.SetAnchorKind(RotatedRect::kTopLeft);
    crop.SetPosition({30, 20});
    crop.SetWidth(100);
    crop.SetHeight(70);
    s.photo.AddChild(&crop);
    s.Mgr().SetZoom(2, true);
    s.Mgr().SetOffset(-10, -15, true);
    QImage img = s.Grab();
    // Unselected: the yellow outline at image x = 30, screen 2 * (20 + 30 - 10) = 80.
    EXPECT_TRUE(AnyNear(img, 80, 150, 1, [](const QColor& c) { return Near(c, QColor(255, 255, 0)); }));
    s.Mgr().Select(&crop);
    img = s.Grab();
    SaveFrame(img, "crop-frame-selected");
    // The corner handle at image (30, 20) = screen (80, 70): a filled square, red at 0.6 over
    // the dark red photograph.
    const QColor handle = img.pixelColor(82, 72);
    EXPECT_GT(handle.red(), 220);
    EXPECT_LT(handle.green(), 40);
    // The left edge's middle handle, at screen (80, 140).
    EXPECT_GT(img.pixelColor(78, 142).red(), 220);
    // Orange dashes along the outline, between the handles: some pixels orange, some not.
    int orange = 0, other = 0;
    for (int y = 90; y < 130; ++y) {
        const bool isOrange = AnyNear(img, 80, y, 1, [](const QColor& c) { return Near(c, QColor(255, 165, 0), 20); });
        (isOrange ? orange : other) += 1;
    }
    EXPECT_GT(orange, 5);
    EXPECT_GT(other, 5);
    // Dragged beyond the photograph's right edge, the frame stays on it.
    QTest::mousePress(s.Gl(), Qt::LeftButton, Qt::NoModifier, QPoint(180, 110));
    QTest::mouseMove(s.Gl(), QPoint(400, 110));
    QTest::mouseRelease(s.Gl(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 110));
    EXPECT_NEAR(crop.Rect().Corner(1).x, 160, 1e-9);
    EXPECT_NEAR(crop.TopLeft().x, 60, 1e-9);
    img = s.Grab();
    SaveFrame(img, "crop-frame-dragged");
}

// Frozen for a long operation, the view keeps showing its last picture while the scene changes
// beneath it (nothing black, nothing half-changed); thawed, it shows the scene as it now is.
TEST(GlView, AFrozenViewKeepsItsLastPictureUntilItThaws) {
    REQUIRE_GL();
    Scene s;
    const QImage before = s.Grab();
    EXPECT_PIXEL(before, 40, 75, kTopLeft);
    s.Gl()->SetFrozen(true);
    s.Mgr().SetOffset(-200, -200, true);  // the photograph out of sight
    const QImage frozen = s.Gl()->grabFramebuffer();
    EXPECT_PIXEL(frozen, 40, 75, kTopLeft);
    EXPECT_EQ(frozen, before);
    s.Gl()->SetFrozen(false);
    const QImage after = s.Grab();
    EXPECT_PIXEL(after, 40, 75, QColor(0, 0, 0));
}
