// The image view's toolbar in the window: arrangements, stacking order, zoom and its label,
// keys, and the view settings with the texture reload.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

#include "ProjectTestSupport.h"
#include "view/GuiMgr.h"
#include "view/ZelvoWidget.h"

namespace {

struct FivePhotos {
    QTemporaryDir dir;
    TestWindow w;
    std::vector<GuiBitmap*> pictures;
    FivePhotos() : w(ShownWindow(dir)) {
        AddPhotos(w, Photos({0, 1, 2, 3, 4}));
        pictures = MainWindowFixture::SourcePictures(*w);
    }
    Ui::ImageViewForm& Toolbar() { return MainWindowFixture::View(*w); }
    GuiMgr& View() { return MainWindowFixture::ViewManager(*w); }
};

void ExpectAt(const GuiBitmap* picture, double x, double y) {
    EXPECT_DOUBLE_EQ(picture->TopLeft().x, x);
    EXPECT_DOUBLE_EQ(picture->TopLeft().y, y);
}

}  // namespace

TEST(WindowView, ArrangeInAGridAndArrangeByTheMatches) {
    FivePhotos t;
    // Five pictures of 320 x 240: three columns, 20 apart.
    t.Toolbar().m_arrangeToolButton->click();
    ExpectAt(t.pictures[0], 0, 0);
    ExpectAt(t.pictures[2], 680, 0);
    ExpectAt(t.pictures[3], 0, 260);
    ExpectAt(t.pictures[4], 340, 260);
    RectD all;
    ASSERT_TRUE(t.View().SceneBoundsOfAll(all));
    const double zoom = t.View().GetZoom();
    EXPECT_LE(all.width * zoom, t.View().ViewportWidth());  // everything in sight
    EXPECT_LE(all.height * zoom, t.View().ViewportHeight());
    // One format at start and after a zoom, shown whole.
    EXPECT_GE(MainWindowFixture::ViewLabel(*t.w)->width(), MainWindowFixture::ViewLabel(*t.w)->sizeHint().width());
    EXPECT_EQ(MainWindowFixture::ViewLabel(*t.w)->text(), QString(" View:[%1x%2] Zoom:%3 ")
                                                              .arg(int(t.View().ViewportWidth() / zoom))
                                                              .arg(int(t.View().ViewportHeight() / zoom))
                                                              .arg(zoom, 0, 'f', 2));

    // Pictures 1 and 2 matched, the point centroids 160 pixels apart horizontally.
    PanoramaEngine& engine = MainWindowFixture::Engine(*t.w);
    const std::vector<PointD> P = Points({{250, 40}, {300, 120}, {260, 200}, {290, 60}, {300, 180}});
    std::vector<PointD> Q;
    for (const PointD& p : P)
        Q.push_back({p.x - 160, p.y + 10});
    ASSERT_TRUE(engine.SetCombinationPoints(1, 2, P, Q));
    t.Toolbar().m_alignToolButton->click();
    const PointD one = t.pictures[1]->TopLeft(), two = t.pictures[2]->TopLeft();
    EXPECT_NEAR(two.x - one.x, 160, 1e-9);
    EXPECT_NEAR(two.y - one.y, -10, 1e-9);
    EXPECT_DOUBLE_EQ(std::min(one.x, two.x), 0);
    EXPECT_DOUBLE_EQ(std::min(one.y, two.y), 0);
    // The others in a grid 100 below the union (250 high): two columns for three pictures.
    ExpectAt(t.pictures[0], 0, 350);
    ExpectAt(t.pictures[3], 340, 350);
    ExpectAt(t.pictures[4], 0, 610);
}

TEST(WindowView, StackingOrderZoomAndKeys) {
    FivePhotos t;
    GuiMgr& view = t.View();
    view.Select(t.pictures[0]);
    t.Toolbar().m_bringToFrontToolButton->click();
    EXPECT_EQ(view.Layer(0).Objects().back(), t.pictures[0]);
    t.Toolbar().m_sendToBackToolButton->click();
    EXPECT_EQ(view.Layer(0).Objects().front(), t.pictures[0]);

    const double zoom = view.GetZoom();
    t.Toolbar().m_zoomInToolButton->click();
    EXPECT_DOUBLE_EQ(view.GetZoom(), zoom * 1.1);
    t.Toolbar().m_zoomOutToolButton->click();
    EXPECT_DOUBLE_EQ(view.GetZoom(), zoom * 1.1 * 0.909);
    EXPECT_TRUE(
        MainWindowFixture::ViewLabel(*t.w)->text().endsWith(QString(" Zoom:%1 ").arg(view.GetZoom(), 0, 'f', 2)));

    // Zoom to the selection fits the chosen picture; End does the same without an image pair.
    t.Toolbar().m_zoomToSelectionToolButton->click();
    const double fitted = view.GetZoom();
    EXPECT_NEAR(fitted,
                (view.ViewportHeight() - 1) / (240 + 1.5) < (view.ViewportWidth() - 1) / (320 + 1.5)
                    ? (view.ViewportHeight() - 1) / (240 + 1.5)
                    : (view.ViewportWidth() - 1) / (320 + 1.5),
                1e-12);
    t.Toolbar().m_zoomAllToolButton->click();
    EXPECT_LT(view.GetZoom(), fitted);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    end.accept();
    emit MainWindowFixture::View(*t.w).m_zelvoWidget->KeyPressed(&end);
    EXPECT_DOUBLE_EQ(view.GetZoom(), fitted);
    EXPECT_FALSE(end.isAccepted());
    // Without a panorama "zoom to panorama" shows everything; so does the pair's zoom without
    // a pair. Key 1 without a pair changes nothing.
    t.Toolbar().m_zoomToPanoramaToolButton->click();
    const double everything = view.GetZoom();
    EXPECT_LT(everything, fitted);
    view.SetZoom(1, false);
    t.Toolbar().m_zoomToFirstSecondToolButton->click();
    EXPECT_DOUBLE_EQ(view.GetZoom(), everything);
    const std::vector<GuiObj*> order = view.Layer(0).Objects();
    QKeyEvent one(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier);
    emit MainWindowFixture::View(*t.w).m_zelvoWidget->KeyPressed(&one);
    EXPECT_EQ(view.Layer(0).Objects(), order);
}

TEST(WindowView, ViewSettingsReloadEveryPictureAtTheNewLimit) {
    FivePhotos t;
    t.w.prompts->AnswerDialog(QDialog::Accepted, [](QDialog& dialog) {
        auto* source = dialog.findChild<QSpinBox*>("m_sourceImagesSpinBox");
        ASSERT_TRUE(source);
        source->setValue(1024);
    });
    t.Toolbar().m_imageViewSettingsToolButton->click();
    for (GuiBitmap* picture : t.pictures) {
        EXPECT_EQ(picture->TextureLimit(), 1024);
        EXPECT_EQ(picture->Image().width, 320);
    }
    EXPECT_TRUE(LogText(*t.w).endsWith("Reloading textures ..... done\n")) << LogText(*t.w).toStdString();
    EXPECT_TRUE(MainWindowFixture::ProjectPage(*t.w).m_rotateImages90RadioButton->isEnabled());

    // A photograph gone from disk keeps its picture; the others are reloaded.
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    const QStringList copies = CopyPhotos(dir.path(), {0, 1});
    AddPhotos(w, copies);
    QFile::remove(copies[0]);
    w.prompts->AnswerDialog(QDialog::Rejected);
    MainWindowFixture::View(*w).m_imageViewSettingsToolButton->click();
    EXPECT_TRUE(LogText(*w).endsWith("Reloading textures .\nCould not reload a source image!\n. done\n"))
        << LogText(*w).toStdString();
    EXPECT_EQ(MainWindowFixture::SourcePictures(*w)[0]->Image().width, 320);
    // The limit a later start reads is the one set.
    t.w.window.reset();
    SettingsDocument settings;
    settings.Load(t.dir.filePath("vedora.xml"));
    EXPECT_EQ(settings.ReadTextureLimits().sourceImages, 1024);
}
