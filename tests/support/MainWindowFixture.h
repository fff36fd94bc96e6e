#pragma once

// Reaches into a MainWindow for the states and parts that tests need: the engine, the forms,
// the settings and the long-operation helpers.
#include <QLabel>
#include <QProgressDialog>

#include <functional>
#include <memory>

#include "app/MainWindow.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"

class MainWindowFixture {
public:
    static PanoramaEngine& Engine(MainWindow& w) { return w.engine; }
    static Ui::MainWindow& Frame(MainWindow& w) { return w.ui; }
    static Ui::ImageViewForm& View(MainWindow& w) { return w.viewUi; }
    static Ui::ProjectForm& ProjectPage(MainWindow& w) { return w.projectUi; }
    static Ui::MatchingForm& MatchingPage(MainWindow& w) { return w.matchingUi; }
    static Ui::PanoramaForm& PanoramaPage(MainWindow& w) { return w.panoramaUi; }
    static QWidget* Page(MainWindow& w, int k) {
        QWidget* pages[] = {w.projectPage, w.matchingPage, w.panoramaPage};
        return pages[k];
    }
    static SettingsDocument& Settings(MainWindow& w) { return w.settings; }
    static QLabel* ProjectLabel(MainWindow& w) { return w.projectLabel; }
    static QLabel* ViewLabel(MainWindow& w) { return w.viewLabel; }
    static const Zelvo::Chars& CurrentProjectPath(MainWindow& w) { return w.currentProjectPath; }
    static const Zelvo::Chars& StartupProjectPath(MainWindow& w) { return w.startupProjectPath; }
    static QProgressDialog* CurrentProgress(MainWindow& w) { return w.currentProgress; }
    static Zelvo::XmlDocument& ProjectDocument(MainWindow& w) { return w.projectDocument; }
    static const Zelvo::Chars& SelectedImagePath(MainWindow& w) { return w.selectedImagePath; }
    static Ui::ProjectListForm& ProjectList(MainWindow& w) { return w.projectListUi; }
    static QDialog* ProjectListDialog(MainWindow& w) { return w.projectListDialog; }
    static GuiMgr& ViewManager(MainWindow& w) { return w.ViewManager(); }
    static std::vector<GuiBitmap*> SourcePictures(MainWindow& w) {
        std::vector<GuiBitmap*> pictures;
        for (const auto& p : w.sourcePictures)
            pictures.push_back(p.get());
        return pictures;
    }
    static bool LoadProject(MainWindow& w, const Zelvo::Chars& path) { return w.LoadProject(path); }
    // The panorama page's pictures by name ("stitchImage", "cropImage"); null when missing.
    static GuiBitmap* PanoramaPicture(MainWindow& w, const char* name) { return w.FindPanoramaPicture(name); }
    static size_t PanoramaPictureCount(MainWindow& w) { return w.panoramaPictures.size(); }
    static TextureLimits& Limits(MainWindow& w) { return w.textureLimits; }
    static GuiRect* CropFrame(MainWindow& w) { return w.cropFrame.get(); }
    static GuiRect* Marker360(MainWindow& w) { return w.marker360.get(); }

    // The matching page's image pair and what it shows.
    static const Zelvo::Chars& FirstImagePath(MainWindow& w) { return w.firstImagePath; }
    static const Zelvo::Chars& SecondImagePath(MainWindow& w) { return w.secondImagePath; }
    static GuiChainedPoints& FirstMarkers(MainWindow& w) { return w.firstPointMarkers; }
    static GuiChainedPoints& SecondMarkers(MainWindow& w) { return w.secondPointMarkers; }
    static size_t FeatureMarkerCount(MainWindow& w) { return w.featurePointMarkers.size(); }
    static Zelvo::XmlDocument* HierarchyDocument(MainWindow& w) { return w.hierarchyDocument.get(); }

    // Empty pictures, outside the view, for the flows that only count them.
    static void SetSourcePictureCount(MainWindow& w, int n) {
        w.sourcePictures.clear();
        for (int i = 0; i < n; ++i)
            w.sourcePictures.push_back(std::make_unique<GuiBitmap>());
    }
    static void SetResultPictureCount(MainWindow& w, int n) {
        w.panoramaPictures.clear();
        for (int i = 0; i < n; ++i)
            w.panoramaPictures.push_back(std::make_unique<GuiBitmap>());
    }
    static void SetZoom(MainWindow& w, double zoom) {
        w.ViewManager().SetZoom(zoom, false);
        w.ShowViewSize();
    }

    static bool RunWithProgress(MainWindow& w, const QString& label, const std::function<bool()>& operation) {
        return w.RunWithProgress(label, operation);
    }
    static std::unique_ptr<QProgressDialog> BeginProgress(MainWindow& w, const QString& label) {
        return w.BeginProgress(label);
    }
};
