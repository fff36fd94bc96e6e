// The matching page: automatic matching of all photographs and of one pair, the overlap
// hierarchy in its tree, the reference image, the feature points, and the hand work on one
// image pair (its first image red, its second blue, their corresponding points as two linked
// marker sets on the pictures).
#include <QCheckBox>
#include <QIcon>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <new>

#include "app/MainWindow.h"
#include "app/ProjectImagePaths.h"
#include "app/XmlTreeWidget.h"
#include "dialogs/AutomaticParametersDialog.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"
#include "view/GuiPoints.h"

namespace {

using Zelvo::XmlAttribute;
using Zelvo::XmlElement;

struct PairColour {
    float r, g, b;
};
constexpr PairColour kFirstColour{1, 0, 0};
constexpr PairColour kSecondColour{0, 0, 1};
constexpr PairColour kFeatureColour{0, 1, 0};

const QIcon& FrameIcon(bool first) {
    static const QIcon red(":/images/IconRedFrame.png");
    static const QIcon blue(":/images/IconBlueFrame.png");
    return first ? red : blue;
}

Zelvo::Chars PathOf(const XmlElement* element) {
    XmlAttribute* path = element ? const_cast<XmlElement*>(element)->Attribute("path", false) : nullptr;
    return path ? path->Value() : Zelvo::Chars();
}

XmlElement* FirstChildElement(const XmlElement* element) {
    for (Zelvo::XmlNode* node = element->FirstChild(); node; node = node->NextSibling())
        if (XmlElement* child = Zelvo::AsElement(node))
            return child;
    return nullptr;
}

// A point of the insertion grid inside the picture it goes to (a second image may be smaller
// than the first, whose size the grid follows).
PointD Inside(const PointD& p, const GuiBitmap& picture) {
    return {std::clamp(p.x, 0.0, static_cast<double>(picture.Image().width)),
            std::clamp(p.y, 0.0, static_cast<double>(picture.Image().height))};
}

}  // namespace

void MainWindow::ConnectMatchingPage() {
    const std::pair<QAbstractButton*, void (MainWindow::*)()> released[] = {
        {matchingUi.m_matchingParametersToolButton, &MainWindow::OnMoreMatchingParamters},
        {matchingUi.m_automaticMatchingButton, &MainWindow::OnAutomaticMatching},
        {matchingUi.m_selectFirstToolButton, &MainWindow::OnSelectFirst},
        {matchingUi.m_selectSecondToolButton, &MainWindow::OnSelectSecond},
        {matchingUi.m_pairAutomaticMatchingButton, &MainWindow::OnPairAutomaticMatching},
        {matchingUi.m_insertPointToolButton, &MainWindow::OnInsertPoint},
        {matchingUi.m_deletePointToolButton, &MainWindow::OnDeletePoint},
        {matchingUi.m_deleteAllPointsToolButton, &MainWindow::OnDeleteAllPoints},
        {matchingUi.m_applyManualChangesToolButton, &MainWindow::OnApplyManualChanges},
        {matchingUi.m_selectRefPushButton, &MainWindow::OnSelectReference},
    };
    for (const auto& [button, slot] : released)
        connect(button, &QAbstractButton::released, this, slot);
    connect(matchingUi.m_showFeaturePointsCheckBox, &QCheckBox::stateChanged, this, &MainWindow::OnShowFeaturePoints);
    connect(matchingUi.m_overlappingHierarchyTreeWidget, &QTreeWidget::itemClicked, this,
            &MainWindow::OnHierarchyItemClicked);
}

// --- Helpers --------------------------------------------------------------------------------------

int MainWindow::ImageIndex(const Zelvo::Chars& path) const {
    return path.IsEmpty() ? -1 : engine.FindImage(path.c_str());
}

int MainWindow::PictureIndex(const Zelvo::Chars& path) const {
    for (size_t k = 0; k < sourcePictures.size(); ++k)
        if (path == sourcePictures[k]->Name().c_str())
            return static_cast<int>(k);
    return -1;
}

GuiBitmap* MainWindow::SourcePictureOf(const GuiObj* obj) const {
    for (const auto& picture : sourcePictures)
        if (picture.get() == obj)
            return picture.get();
    return nullptr;
}

std::vector<QTreeWidgetItem*> MainWindow::HierarchyRows() const {
    std::vector<QTreeWidgetItem*> rows;
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* row) {
        rows.push_back(row);
        for (int k = 0; k < row->childCount(); ++k)
            visit(row->child(k));
    };
    QTreeWidget* tree = matchingUi.m_overlappingHierarchyTreeWidget;
    for (int k = 0; k < tree->topLevelItemCount(); ++k)
        visit(tree->topLevelItem(k));
    return rows;
}

Zelvo::Chars MainWindow::RowPath(const QTreeWidgetItem* row) { return PathOf(XmlTreeWidget::ElementOf(row)); }

// The rows are bound to the document they show: the tree lets them go before the document is
// replaced.
void MainWindow::ShowOverlapHierarchy() {
    XmlTreeWidget* tree = matchingUi.m_overlappingHierarchyTreeWidget;
    const QByteArray rootName = tr("OverlapHierarchy").toUtf8();
    tree->clear();
    hierarchyOutdated = false;
    hierarchyDocument = engine.HierarchyDocument(rootName.constData());
    tree->Fill(*hierarchyDocument, rootName.constData());
    tree->expandAll();
    tree->resizeColumnToContents(0);
    bool reference = true;
    for (QTreeWidgetItem* row : HierarchyRows()) {
        const Zelvo::Chars path = RowPath(row);
        if (path.IsEmpty())
            continue;
        const int index = PictureIndex(path);
        row->setToolTip(0, reference ? tr("Image %1 is the reference image").arg(index)
                                     : tr("Image %1: %2").arg(index).arg(FromChars(path)));
        reference = false;
    }
}

void MainWindow::RefreshOutdatedHierarchy() {
    if (!hierarchyOutdated)
        return;
    Guarded([this] {
        ShowOverlapHierarchy();
        MarkPairEdge();
    });
}

void MainWindow::ClearPairIcons(const Zelvo::Chars& path) {
    for (QTreeWidgetItem* row : HierarchyRows())
        if (RowPath(row) == path)
            row->setIcon(0, QIcon());
}

// The row of one image of the pair that hangs below the other's row: the edge the pair's
// points belong to.
void MainWindow::MarkPairEdge() {
    if (!HasPair())
        return;
    for (QTreeWidgetItem* row : HierarchyRows()) {
        QTreeWidgetItem* parentRow = row->parent();
        if (!parentRow)
            continue;
        const Zelvo::Chars own = RowPath(row), parent = RowPath(parentRow);
        const bool firstBelow = own == firstImagePath && parent == secondImagePath;
        const bool secondBelow = own == secondImagePath && parent == firstImagePath;
        if (firstBelow || secondBelow) {
            row->setIcon(0, FrameIcon(firstBelow));
            parentRow->setIcon(0, FrameIcon(!firstBelow));
            return;
        }
    }
}

void MainWindow::MarkFirstRowsOfPair() {
    bool firstDone = false, secondDone = false;
    for (QTreeWidgetItem* row : HierarchyRows()) {
        const Zelvo::Chars path = RowPath(row);
        if (!firstDone && path == firstImagePath) {
            row->setIcon(0, FrameIcon(true));
            firstDone = true;
        } else if (!secondDone && path == secondImagePath) {
            row->setIcon(0, FrameIcon(false));
            secondDone = true;
        }
    }
}

void MainWindow::DeselectFirst() { Deselect(PairRole::First); }

void MainWindow::DeselectSecond() { Deselect(PairRole::Second); }

void MainWindow::Deselect(PairRole role) {
    Zelvo::Chars& path = PairPath(role);
    if (path.IsEmpty())
        return;
    AskSaveChangedPoints();
    ClearPairIcons(path);
    if (GuiBitmap* picture = FindSourcePicture(path)) {
        picture->SetColor(1, 1, 1, 0.5f);
        picture->SetLineWidth(2);
        picture->SetTextureLimit(textureLimits.sourceImages);
    }
    for (GuiChainedPoints* markers : {&firstPointMarkers, &secondPointMarkers}) {
        markers->RemoveFromScene();
        markers->Clear();
    }
    path = Zelvo::Chars();
    RepaintView();
}

void MainWindow::ForgetPair() {
    for (PairRole role : {PairRole::First, PairRole::Second}) {
        Zelvo::Chars& path = PairPath(role);
        if (path.IsEmpty())
            continue;
        ClearPairIcons(path);
        if (GuiBitmap* picture = FindSourcePicture(path)) {
            picture->SetColor(1, 1, 1, 0.5f);
            picture->SetLineWidth(2);
            picture->SetTextureLimit(textureLimits.sourceImages);
        }
        path = Zelvo::Chars();
    }
    for (GuiChainedPoints* markers : {&firstPointMarkers, &secondPointMarkers}) {
        markers->RemoveFromScene();
        markers->Clear();
    }
}

// Edited points live only in the marker sets until they are saved here.
void MainWindow::AskSaveChangedPoints() {
    if (!HasPair())
        return;
    const int a = ImageIndex(firstImagePath), b = ImageIndex(secondImagePath);
    if (a < 0 || b < 0 || a == b)
        return;
    const std::vector<PointD>& Pa = firstPointMarkers.Points();
    const std::vector<PointD>& Pb = secondPointMarkers.Points();
    if (engine.ComparePoints(a, b, Pa, Pb))
        return;
    enum { Save, DontSave };
    const int answer = prompts->Ask(UserPrompts::Kind::Question, tr("Vedora 1.02"),
                                    tr("The corresponding points have changed!\nDo you want to save the changes ?"),
                                    {tr("Save changes"), tr("Don't save changes")}, Save, DontSave);
    if (answer == Save && engine.SetCombinationPoints(a, b, Pa, Pb)) {
        hierarchyOutdated = true;
        QTimer::singleShot(0, this, &MainWindow::RefreshOutdatedHierarchy);
    }
}

void MainWindow::ShowPairPoints(bool reload) {
    if (!HasPair())
        return;
    GuiBitmap* first = FindSourcePicture(firstImagePath);
    GuiBitmap* second = FindSourcePicture(secondImagePath);
    if (!first || !second)
        return;
    if (reload) {
        std::vector<PointD> Pa, Pb;
        engine.GetCombinationPoints(ImageIndex(firstImagePath), ImageIndex(secondImagePath), Pa, Pb);
        for (GuiChainedPoints* markers : {&firstPointMarkers, &secondPointMarkers})
            markers->RemoveFromScene();
        firstPointMarkers.SetPoints(Pa);
        secondPointMarkers.SetPoints(Pb);
    }
    if (firstPointMarkers.Count() > 0) {
        first->AddChild(&firstPointMarkers);
        second->AddChild(&secondPointMarkers);
        firstPointMarkers.LinkTo(&secondPointMarkers);
        const std::pair<GuiChainedPoints*, PairColour> sets[] = {{&firstPointMarkers, kFirstColour},
                                                                 {&secondPointMarkers, kSecondColour}};
        for (const auto& [markers, colour] : sets) {
            // Points dragged beyond their photograph stay on its edge.
            markers->SetFlags(kGuiVisible | kGuiMovable | kGuiKeepInside);
            // In the overlap arrangement the pictures lie on each other: both pictures' points
            // are drawn, and pressed, above both.
            markers->SetOnTop(true);
            markers->SetPointEditing(true);
            markers->SetColor(colour.r, colour.g, colour.b, 1.0f);
            markers->SetMarkerHalfSize(pointMarkers.size);
            markers->SetLineWidth(pointMarkers.thickness);
        }
    }
    for (GuiBitmap* picture : {first, second})
        picture->SetTextureLimit(textureLimits.imagePair);
    RepaintView();
    FocusView();
}

void MainWindow::SelectPairImage(PairRole role, const Zelvo::Chars& path, float opacity) {
    PairPath(role) = path;
    if (GuiBitmap* picture = FindSourcePicture(path)) {
        const PairColour c = role == PairRole::First ? kFirstColour : kSecondColour;
        picture->SetLineWidth(3);
        picture->SetColor(c.r, c.g, c.b, opacity);
    }
}

void MainWindow::RemoveFeatureMarkers() {
    featurePointMarkers.clear();  // each set leaves the view as it goes
}

// Green crosses at the feature points of every picture, under the pair's markers (which keep
// the presses for editing).
void MainWindow::RefreshFeatureMarkers() {
    RemoveFeatureMarkers();
    for (const auto& picture : sourcePictures) {
        auto markers = std::make_unique<GuiPoints>();
        std::vector<PointD> points;
        engine.GetFeaturePoints(ImageIndex(Zelvo::Chars(picture->Name().c_str())), points);
        markers->SetPoints(points);
        markers->SetColor(kFeatureColour.r, kFeatureColour.g, kFeatureColour.b, 1.0f);
        markers->SetFlags(kGuiVisible);
        picture->AddChild(markers.get());
        featurePointMarkers.push_back(std::move(markers));
    }
    for (GuiChainedPoints* markers : {&firstPointMarkers, &secondPointMarkers})
        if (markers->Layer())
            markers->BringToFront();
}

// After the image list or the project changed: the hierarchy, the pair's place in it and the
// feature points follow.
void MainWindow::ShowMatchingResults() {
    Guarded([this] {
        ShowOverlapHierarchy();
        MarkPairEdge();
        if (showFeaturePoints)
            RefreshFeatureMarkers();
    });
}

// --- Slots ----------------------------------------------------------------------------------------

void MainWindow::OnMoreMatchingParamters() {
    Guarded([this] {
        AutomaticParametersDialog dialog(engine, this);
        prompts->RunDialog(dialog);
    });
}

void MainWindow::OnAutomaticMatching() {
    Guarded([this] {
        DeselectFirst();
        DeselectSecond();
        ShowOverlapHierarchy();
        RunWithProgress(tr("Finding overlapping images ... "), [this] {
            if (engine.ImageCount() == 0) {
                LogText(tr("\nThere are no images to match!\n"));
                return false;
            }
            const bool found = engine.FindOverlappingImages();
            ShowOverlapHierarchy();
            OnAlign();
            if (showFeaturePoints)
                OnShowFeaturePoints(Qt::Checked);
            return found;
        });
    });
}

void MainWindow::OnPairAutomaticMatching() {
    Guarded([this] {
        if (!HasPair())
            return;
        const int a = ImageIndex(firstImagePath), b = ImageIndex(secondImagePath);
        if (a < 0 || b < 0)
            return;
        // Points placed or corrected by hand are work: matching replaces them only when asked.
        if (!firstPointMarkers.Points().empty() || !secondPointMarkers.Points().empty()) {
            enum { Replace, Keep };
            const int answer = prompts->Ask(
                UserPrompts::Kind::Question, tr("Vedora 1.02"),
                tr("The pair has corresponding points.\nAutomatic matching replaces them. Do you want to match the "
                   "pair anew?"),
                {tr("Match anew"), tr("Keep the points")}, Keep, Keep);
            if (answer != Replace)
                return;
        }
        RunWithProgress(tr("Matching image pair ... "), [&] {
            const bool matched = engine.MatchImagePair(a, b);
            ShowOverlapHierarchy();
            ShowPairPoints(true);
            MarkFirstRowsOfPair();
            OnAlign();
            if (showFeaturePoints)
                OnShowFeaturePoints(Qt::Checked);
            return matched;
        });
    });
}

void MainWindow::OnShowFeaturePoints(int state) {
    Guarded([&] {
        showFeaturePoints = state == Qt::Checked;
        if (showFeaturePoints)
            RefreshFeatureMarkers();
        else
            RemoveFeatureMarkers();
        RepaintView();
        FocusView();
    });
}

void MainWindow::OnSelectFirst() {
    Guarded([this] { SelectPairFromView(PairRole::First); });
}

void MainWindow::OnSelectSecond() {
    Guarded([this] { SelectPairFromView(PairRole::Second); });
}

// The picture selected in the view becomes the first (or second) image of the pair; anything
// else selected leaves that place empty.
void MainWindow::SelectPairFromView(PairRole role) {
    const PairRole otherRole = role == PairRole::First ? PairRole::Second : PairRole::First;
    GuiBitmap* picture = SourcePictureOf(ViewManager().Selected());
    if (!picture) {
        Deselect(role);
        FocusView();
        return;
    }
    const Zelvo::Chars path(picture->Name().c_str());
    if (path == PairPath(role))
        return;
    Deselect(role);
    if (PairPath(otherRole) == path)
        Deselect(otherRole);
    SelectPairImage(role, path, 0.5f);
    if (GuiBitmap* other = FindSourcePicture(PairPath(otherRole)))
        other->BringToFront();
    picture->BringToFront();
    if (HasPair()) {
        MarkPairEdge();
        ShowPairPoints(true);
    }
    RepaintView();
    FocusView();
}

// Four points on an empty pair, one more on every later press; they walk down the columns of
// a 4 x 4 grid (a twentieth of the first image's shorter side apart) and the user drags them
// into place in both pictures.
void MainWindow::OnInsertPoint() {
    Guarded([this] {
        if (!HasPair())
            return;
        GuiBitmap* first = FindSourcePicture(firstImagePath);
        GuiBitmap* second = FindSourcePicture(secondImagePath);
        if (!first || !second)
            return;
        const int f = std::min(first->Image().width, first->Image().height) * 5 / 100;
        int count = 1;
        if (firstPointMarkers.Count() == 0) {
            insertOffsetX = insertOffsetY = 0;
            count = 4;
        }
        for (int k = 0; k < count; ++k) {
            const PointD p{insertOffsetX + 2.0 * f, insertOffsetY + 2.0 * f};
            firstPointMarkers.AddPoint(Inside(p, *first));
            secondPointMarkers.AddPoint(Inside(p, *second));
            insertOffsetY += f;
            if (insertOffsetY >= 4 * f) {
                insertOffsetY = 0;
                insertOffsetX += f;
            }
            if (insertOffsetX >= 4 * f)
                insertOffsetX = 0;
        }
        ShowPairPoints(false);
        RepaintView();
    });
}

void MainWindow::OnDeletePoint() {
    Guarded([this] {
        GuiObj* selected = ViewManager().Selected();
        GuiChainedPoints* markers = nullptr;
        if (selected) {
            if (!firstImagePath.IsEmpty() && selected == &firstPointMarkers && firstPointMarkers.SelectedPoint() >= 0)
                markers = &firstPointMarkers;
            else if (!secondImagePath.IsEmpty() && selected == &secondPointMarkers &&
                     secondPointMarkers.SelectedPoint() >= 0)
                markers = &secondPointMarkers;
        }
        if (markers) {
            const int k = markers->SelectedPoint();
            if (markers->Count() < 5) {
                if (prompts->AskStandard(UserPrompts::Kind::Question, tr("Vedora 1.02"),
                                         tr("At least 4 points are needed!\nDo you want to delete all points now?"),
                                         QMessageBox::Yes | QMessageBox::Cancel,
                                         QMessageBox::Cancel) == QMessageBox::Yes)
                    DeleteAllPairPoints();
            } else {
                firstPointMarkers.RemovePoint(k);
                secondPointMarkers.RemovePoint(k);
            }
        }
        RepaintView();
        FocusView();
    });
}

void MainWindow::OnDeleteAllPoints() {
    Guarded([this] {
        if (HasPair() &&
            prompts->AskStandard(UserPrompts::Kind::Question, tr("Vedora 1.02"),
                                 tr("Do you really want to delete all points ?"),
                                 QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Yes) {
            DeleteAllPairPoints();
            OnAlign();
        }
        FocusView();
    });
}

// The pair loses its points in the engine and on the pictures; emptied first, the markers
// leave nothing to save when the pair is left.
void MainWindow::DeleteAllPairPoints() {
    engine.ClearCombinationPoints(ImageIndex(firstImagePath), ImageIndex(secondImagePath));
    firstPointMarkers.Clear();
    secondPointMarkers.Clear();
    DeselectFirst();
    DeselectSecond();
    ShowOverlapHierarchy();
}

void MainWindow::OnApplyManualChanges() {
    Guarded([this] {
        DeselectFirst();
        DeselectSecond();
        ShowOverlapHierarchy();
        OnAlign();
    });
}

// The reference is compared with the engine's own: after automatic matching has chosen one
// afresh, the user can choose the earlier one again.
void MainWindow::OnSelectReference() {
    Guarded([this] {
        GuiObj* selected = ViewManager().Selected();
        if (selected) {
            GuiBitmap* picture = SourcePictureOf(selected);
            DeselectFirst();
            DeselectSecond();
            ShowOverlapHierarchy();
            if (picture) {
                const Zelvo::Chars path(picture->Name().c_str());
                if (path != engine.GetReferenceImagePath()) {
                    selectedReferencePath = path;
                    engine.SetReferenceImagePath(path);
                }
            }
            ShowOverlapHierarchy();
            OnAlign();
        }
        FocusView();
    });
}

// A row below another selects the pair of its edge: the clicked image first, its parent
// second; a root selects itself with its first child.
void MainWindow::OnHierarchyItemClicked(QTreeWidgetItem* item, int column) {
    Guarded([&] {
        if (!item || column < 0)
            return;
        DeselectFirst();
        DeselectSecond();
        XmlElement* element = XmlTreeWidget::ElementOf(item);
        const Zelvo::Chars path = PathOf(element);
        if (!path.IsEmpty())
            statusBar()->showMessage(FromChars(path));
        Zelvo::Chars first, second;
        if (!path.IsEmpty()) {
            XmlElement* parent = Zelvo::AsElement(element->Parent());
            XmlElement* child = FirstChildElement(element);
            if (!PathOf(parent).IsEmpty()) {
                first = path;
                second = PathOf(parent);
            } else if (!PathOf(child).IsEmpty()) {
                first = PathOf(child);
                second = path;
            }
            QTreeWidgetItem* firstRow = PathOf(parent).IsEmpty() ? XmlTreeWidget::RowOf(child) : item;
            QTreeWidgetItem* secondRow = PathOf(parent).IsEmpty() ? item : XmlTreeWidget::RowOf(parent);
            GuiBitmap* firstPicture = FindSourcePicture(first);
            GuiBitmap* secondPicture = FindSourcePicture(second);
            if (firstPicture && secondPicture && first != second) {
                SelectPairImage(PairRole::First, first, 0.7f);
                SelectPairImage(PairRole::Second, second, 0.7f);
                secondPicture->BringToFront();
                firstPicture->BringToFront();
                ShowPairPoints(true);
                if (firstRow)
                    firstRow->setIcon(0, FrameIcon(true));
                if (secondRow)
                    secondRow->setIcon(0, FrameIcon(false));
            }
        } else {
            ViewManager().ZoomToFitAll();
        }
        RepaintView();
    });
}
