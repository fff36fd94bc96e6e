// The project page's source image list driven through its buttons, with rendered photographs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRadioButton>

#include "ProjectTestSupport.h"
#include "app/XmlListWidget.h"
#include "view/GuiMgr.h"

using Zelvo::XmlElement;

namespace {

XmlElement* ImagesOf(MainWindow& w) {
    return MainWindowFixture::ProjectDocument(w).FindElement("Images", nullptr, false);
}

void ClickRow(MainWindow& w, int row) {
    QListWidget* list = MainWindowFixture::ProjectPage(w).m_xmlListWidget;
    QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

}  // namespace

TEST(ImageList, AddingPhotographsFillsTheListTheViewAndTheEngine) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    QLabel* label = MainWindowFixture::ProjectLabel(*w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == "background-color: rgb(0,210,0)"; }, 1500));

    AddPhotos(w, Photos({0, 1, 2, 3, 4}));
    EXPECT_EQ(w.prompts->Last().title, "Select one or more images to load");
    EXPECT_EQ(ImageRows(*w),
              QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg", "3: view3.jpg", "4: view4.jpg"}));
    std::vector<GuiBitmap*> pictures = MainWindowFixture::SourcePictures(*w);
    ASSERT_EQ(pictures.size(), 5u);
    EXPECT_EQ(MainWindowFixture::ViewManager(*w).Layer(0).Objects().size(), 5u);
    for (size_t k = 0; k < pictures.size(); ++k) {
        SCOPED_TRACE(k);
        // A cascade: each picture 5 % of its size below and right of the one before.
        EXPECT_DOUBLE_EQ(pictures[k]->TopLeft().x, 16.0 * (k + 1));
        EXPECT_DOUBLE_EQ(pictures[k]->TopLeft().y, 12.0 * (k + 1));
        EXPECT_EQ(pictures[k]->Width(), 320);
        EXPECT_EQ(pictures[k]->Height(), 240);
        EXPECT_EQ(pictures[k]->Name(), Photographs().Path(k));
        EXPECT_FLOAT_EQ(pictures[k]->Color().a, 0.5f);
        EXPECT_FLOAT_EQ(pictures[k]->Color().r, 1.0f);
        EXPECT_EQ(pictures[k]->LineWidth(), 2);
        EXPECT_EQ(pictures[k]->TextureLimit(), 512);
        EXPECT_TRUE(pictures[k]->HasFlag(kGuiMovable));
    }
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    ASSERT_EQ(engine.ImageCount(), 5);
    EXPECT_EQ(engine.Image(3).path, Photographs().Path(3).c_str());
    EXPECT_EQ(engine.Image(3).width, 320);
    EXPECT_EQ(engine.Combinations().size(), 10u);
    XmlElement* first = ImagesOf(*w)->ChildElements("Image")[0];
    EXPECT_EQ(Attr(first, "w"), "320");
    EXPECT_EQ(Attr(first, "h"), "240");
    const QString folder = QString::fromStdString(Photographs().Folder()) + "/";
    EXPECT_EQ(Attr(MainWindowFixture::ProjectDocument(*w).Root()->FindChild("CurrentImagePath", false), "currentPath"),
              folder.toUtf8().constData());
    EXPECT_EQ(MainWindowFixture::ProjectPage(*w).m_loadImagesButton->toolTip(),
              "Load images... (CurrentPath: " + folder + ")");
    EXPECT_TRUE(LogText(*w).endsWith("Loading 5 images ..... done\n")) << LogText(*w).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return label->styleSheet() == "background-color: rgb(250,0,0)"; }, 1100));

    // The next dialog starts in that folder. A photograph already listed is left alone; a new
    // one follows the last picture.
    AddPhotos(w, Photos({1, 5, 4}));
    EXPECT_EQ(w.prompts->Last().text, folder);
    EXPECT_EQ(ImageRows(*w).size(), 6);
    EXPECT_EQ(ImageRows(*w).last(), "5: view5.jpg");
    pictures = MainWindowFixture::SourcePictures(*w);
    ASSERT_EQ(pictures.size(), 6u);
    EXPECT_DOUBLE_EQ(pictures[5]->TopLeft().x, 96.0);
    EXPECT_EQ(engine.ImageCount(), 6);
    EXPECT_TRUE(LogText(*w).endsWith("Loading 3 images . done\n")) << LogText(*w).toStdString();

    // Nothing chosen: nothing happens.
    AddPhotos(w, {});
    EXPECT_EQ(ImageRows(*w).size(), 6);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

// A bad file among several is named, in the log and in one warning at the end, and the others
// load all the same.
TEST(ImageList, AnUndecodablePhotographIsNamedAndTheOthersStillLoad) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    QString broken = dir.filePath("broken.jpg");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xff\xd8\xff\xe0 this is no photograph");
    f.close();
    const QString missing = dir.filePath("gone.jpg");
    w.prompts->AnswerOpenFiles({Photo(0), Photo(1), broken, Photo(2), missing});
    w.prompts->ExpectWarn();
    MainWindowFixture::ProjectPage(*w).m_loadImagesButton->click();
    EXPECT_EQ(w.prompts->Pending(), 0u);
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view0.jpg", "1: view1.jpg", "2: view2.jpg"}));
    EXPECT_EQ(MainWindowFixture::SourcePictures(*w).size(), 3u);
    EXPECT_EQ(MainWindowFixture::Engine(*w).ImageCount(), 3);
    const QString log = LogText(*w);
    const QString damaged = broken + " (not an image this program reads, or damaged or cut short)";
    EXPECT_TRUE(log.contains("Loading 5 images ..\nCould not load an image: " + damaged + "\n.")) << log.toStdString();
    EXPECT_TRUE(log.contains("Could not load an image: " + missing + " (it does not exist)\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("done")) << log.toStdString();
    EXPECT_EQ(w.prompts->Last().text,
              "2 file(s) could not be loaded and were left out:\n" + damaged + "\n" + missing + " (it does not exist)");
    // The rotation buttons come back with the end of the progress dialog.
    EXPECT_TRUE(MainWindowFixture::ProjectPage(*w).m_rotateImages90RadioButton->isEnabled());
}

TEST(ImageList, RemovingAnImageKeepsThePairsOfTheOthersAtTheirNewIndex) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1, 2}));
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    const std::vector<PointD> P = Points({{250, 40}, {300, 120}, {260, 200}, {290, 60}, {310, 180}});
    const std::vector<PointD> Q = Points({{30, 42}, {80, 118}, {40, 198}, {72, 61}, {95, 178}});
    ASSERT_TRUE(engine.SetCombinationPoints(0, 2, P, Q));
    ASSERT_TRUE(engine.SetCombinationPoints(0, 1, P, Q));
    const ImageCombination before = *engine.Combination(0, 2);
    // The document's own pairs (as a loaded project has them) follow the list too.
    XmlElement* pairs =
        MainWindowFixture::ProjectDocument(*w).FindElement("Panorama", nullptr, false)->FindChild("Combinations", true);
    for (auto [a, b] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{0, 2}}) {
        auto* pair = new XmlElement("Combination");
        pairs->AppendChild(pair);
        pair->Attribute("path1", true)->Set(Photographs().Path(a).c_str());
        pair->Attribute("path2", true)->Set(Photographs().Path(b).c_str());
    }

    // Nothing chosen: the button does nothing.
    MainWindowFixture::ProjectPage(*w).m_removeSelectedImageButton->click();
    EXPECT_EQ(ImageRows(*w).size(), 3);

    ClickRow(*w, 1);
    EXPECT_EQ(MainWindowFixture::SelectedImagePath(*w), Photographs().Path(1).c_str());
    std::vector<GuiBitmap*> pictures = MainWindowFixture::SourcePictures(*w);
    GuiMgr& view = MainWindowFixture::ViewManager(*w);
    EXPECT_EQ(view.Selected(), pictures[1]);
    EXPECT_EQ(view.Layer(0).Objects().back(), pictures[1]);  // brought to the front
    EXPECT_EQ(w->statusBar()->currentMessage(), Photo(1));

    MainWindowFixture::ProjectPage(*w).m_removeSelectedImageButton->click();
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view0.jpg", "1: view2.jpg"}));
    EXPECT_EQ(MainWindowFixture::SourcePictures(*w).size(), 2u);
    EXPECT_EQ(view.Layer(0).Objects().size(), 2u);
    EXPECT_EQ(view.Selected(), nullptr);
    EXPECT_TRUE(MainWindowFixture::SelectedImagePath(*w).IsEmpty());
    ASSERT_EQ(engine.ImageCount(), 2);
    ASSERT_EQ(engine.Combinations().size(), 1u);
    const ImageCombination& after = *engine.Combination(0, 1);
    EXPECT_TRUE(after.matched);
    EXPECT_EQ(after.P, before.P);
    EXPECT_EQ(after.Q, before.Q);
    EXPECT_EQ(after.f, before.f);
    EXPECT_EQ(after.first, 0);
    EXPECT_EQ(after.second, 1);
    std::vector<XmlElement*> left = pairs->ChildElements("Combination");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(Attr(left[0], "path2"), Photographs().Path(2).c_str());
}

TEST(ImageList, ThePictureAndTheRowFollowEachOther) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1, 2}));
    XmlListWidget* list = MainWindowFixture::ProjectPage(*w).m_xmlListWidget;
    GuiMgr& view = MainWindowFixture::ViewManager(*w);
    view.Select(MainWindowFixture::SourcePictures(*w)[2]);
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems()[0], list->item(2));
    EXPECT_EQ(w->statusBar()->currentMessage(), Photo(2));
    EXPECT_EQ(MainWindowFixture::SelectedImagePath(*w), Photographs().Path(2).c_str());
    view.Select(nullptr);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(MainWindowFixture::SelectedImagePath(*w).IsEmpty());
}

TEST(ImageList, TurningFrom90To270TurnsEveryStoredPointBy180) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    AddPhotos(w, Photos({0, 1}));
    auto& page = MainWindowFixture::ProjectPage(*w);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    QTest::mouseClick(page.m_rotateImages90RadioButton, Qt::LeftButton);
    ASSERT_EQ(engine.GetSourceImageRotation(), 1);
    EXPECT_TRUE(page.m_rotateImages90RadioButton->isChecked());
    for (GuiBitmap* picture : MainWindowFixture::SourcePictures(*w)) {
        EXPECT_EQ(picture->Width(), 240);
        EXPECT_EQ(picture->Height(), 320);
        EXPECT_EQ(picture->Image().width, 240);
    }
    EXPECT_EQ(engine.Image(1).width, 240);
    EXPECT_EQ(engine.Image(1).height, 320);
    EXPECT_EQ(Attr(ImagesOf(*w)->ChildElements("Image")[1], "h"), "320");
    EXPECT_TRUE(LogText(*w).endsWith("Rotating images .. done\n")) << LogText(*w).toStdString();
    // The turned pictures are all in sight again.
    GuiMgr& view = MainWindowFixture::ViewManager(*w);
    RectD all;
    ASSERT_TRUE(view.SceneBoundsOfAll(all));
    EXPECT_LE(all.width * view.GetZoom(), view.ViewportWidth() + 1);
    EXPECT_LE(all.height * view.GetZoom(), view.ViewportHeight() + 1);

    const std::vector<PointD> P = Points({{200, 10}, {230, 100}, {210, 300}, {180, 150}, {225, 250}});
    const std::vector<PointD> Q = Points({{20, 12}, {50, 98}, {30, 302}, {5, 149}, {47, 251}});
    ASSERT_TRUE(engine.SetCombinationPoints(0, 1, P, Q));
    QTest::mouseClick(page.m_rotateImages270RadioButton, Qt::LeftButton);
    ASSERT_EQ(engine.GetSourceImageRotation(), 3);
    const ImageCombination& pair = *engine.Combination(0, 1);
    ASSERT_EQ(pair.P.size(), P.size());
    for (size_t k = 0; k < P.size(); ++k) {
        EXPECT_DOUBLE_EQ(pair.P[k].x, 240 - P[k].x);
        EXPECT_DOUBLE_EQ(pair.P[k].y, 320 - P[k].y);
        EXPECT_DOUBLE_EQ(pair.Q[k].x, 240 - Q[k].x);
        EXPECT_DOUBLE_EQ(pair.Q[k].y, 320 - Q[k].y);
    }
    EXPECT_EQ(engine.Image(0).width, 240);
    EXPECT_TRUE(engine.IsDirty());

    // The same rotation again changes nothing.
    const QString log = LogText(*w);
    QTest::mouseClick(page.m_rotateImages270RadioButton, Qt::LeftButton);
    EXPECT_EQ(LogText(*w), log);
    EXPECT_TRUE(page.m_rotateImages0RadioButton->isEnabled());
}

TEST(ImageList, RemoveAllAsksOnlyWhenThereArePictures) {
    QTemporaryDir dir;
    TestWindow w = ShownWindow(dir);
    auto& page = MainWindowFixture::ProjectPage(*w);
    page.m_removeAllImagesButton->click();  // no question: the scripted prompts fail on one
    EXPECT_TRUE(w.prompts->History().empty());

    AddPhotos(w, Photos({0, 1}));
    w.prompts->AnswerStandard(QMessageBox::No);
    page.m_removeAllImagesButton->click();
    EXPECT_EQ(w.prompts->Last().text, "Do you really want to remove all images?");
    EXPECT_EQ(w.prompts->Last().title, "Vedora 1.02");
    EXPECT_EQ(ImageRows(*w).size(), 2);

    w.prompts->AnswerStandard(QMessageBox::Yes);
    page.m_removeAllImagesButton->click();
    EXPECT_TRUE(ImageRows(*w).isEmpty());
    EXPECT_TRUE(MainWindowFixture::SourcePictures(*w).empty());
    EXPECT_TRUE(MainWindowFixture::ViewManager(*w).Layer(0).Objects().empty());
    EXPECT_EQ(MainWindowFixture::Engine(*w).ImageCount(), 0);
    EXPECT_EQ(MainWindowFixture::ProjectDocument(*w).FindElement("Images", nullptr, false), nullptr);

    // The list starts again from nothing.
    AddPhotos(w, Photos({2}));
    EXPECT_EQ(ImageRows(*w), QStringList({"0: view2.jpg"}));
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
