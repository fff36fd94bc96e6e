#include "view/GuiMgr.h"

#include <cmath>
#include <limits>
#include <map>

#include "view/GuiGroup.h"
#include "view/GuiObj.h"
#include "view/ViewTransform.h"

namespace {

std::map<int, GuiMgr*>& Registry() {
    static std::map<int, GuiMgr*> managers;
    return managers;
}

int nextManagerId = 1;

// Whether obj is root or lies below it (as a tree child or in a group's child layer).
bool IsWithin(const GuiObj* obj, const GuiObj* root) {
    for (const GuiObj* o = obj; o;) {
        if (o == root)
            return true;
        o = o->Parent() ? o->Parent() : static_cast<const GuiObj*>(o->OwnerGroup());
    }
    return false;
}

PointD CentreOf(const RectD& r) { return {r.left + r.width / 2, r.top + r.height / 2}; }

bool RectContains(const RectD& r, const PointD& p) {
    return p.x >= r.left && p.x <= r.Right() && p.y >= r.top && p.y <= r.Bottom();
}

}  // namespace

GuiMgr::GuiMgr() : id(nextManagerId++) {
    Registry()[id] = this;
    layers.push_back(std::make_unique<GuiLayer>(true));
    layers.back()->managerId = id;
    UpdateLayerTransforms();
}

GuiMgr::~GuiMgr() {
    selected = nullptr;
    rightPressed = nullptr;
    for (auto& layer : layers)
        layer->Clear();
    Registry().erase(id);
}

GuiMgr* GuiMgr::Find(int managerId) {
    if (managerId == 0)
        return nullptr;
    auto it = Registry().find(managerId);
    return it == Registry().end() ? nullptr : it->second;
}

// --- View transform ------------------------------------------------------------------------------

void GuiMgr::SetViewportSize(int w, int h) {
    viewWidth = w;
    viewHeight = h;
    MarkAllDirty();
}

void GuiMgr::SetZoom(double z, bool notify) {
    if (!std::isfinite(z))
        return;
    z = std::clamp(z, kMinZoom, kMaxZoom);
    if (z != zoom) {
        zoom = z;
        UpdateLayerTransforms();
        MarkAllDirty();
    }
    if (notify && zoomChanged)
        zoomChanged(zoom);
}

void GuiMgr::SetOffset(double x, double y, bool notify) {
    if (!std::isfinite(x) || !std::isfinite(y))
        return;
    if (x != offset.x || y != offset.y) {
        offset = {x, y};
        UpdateLayerTransforms();
        MarkAllDirty();
    }
    if (notify && offsetChanged)
        offsetChanged(offset.x, offset.y);
}

PointD GuiMgr::SceneToScreen(const PointD& p) const { return (p + offset) * zoom; }

PointD GuiMgr::ScreenToScene(const PointD& s) const { return s * (1.0 / zoom) - offset; }

void GuiMgr::UpdateLayerTransforms() {
    for (auto& layer : layers)
        layer->SetTransform(layer->FollowsZoom()
                                ? ScalingTransform(zoom, zoom) * TranslationTransform(offset.x, offset.y)
                                : TranslationTransform(offset.x, offset.y));
}

// --- Layers -------------------------------------------------------------------------------------

GuiLayer& GuiMgr::AddLayer(bool followsZoom) {
    layers.push_back(std::make_unique<GuiLayer>(followsZoom));
    layers.back()->managerId = id;
    UpdateLayerTransforms();
    return *layers.back();
}

void GuiMgr::MarkAllDirty() {
    for (auto& layer : layers)
        layer->SetDirty(true);
}

void GuiMgr::VisitAll(const std::function<void(GuiObj*, GuiLayer*)>& f, bool visibleOnly) const {
    for (const auto& layer : layers)
        layer->Visit(f, visibleOnly);
}

bool GuiMgr::SceneChanged() const {
    for (const auto& layer : layers)
        if (layer->IsDirty())
            return true;
    bool dirty = false;
    // Hidden objects wait for nothing: hiding one marks its layer.
    VisitAll([&dirty](GuiObj* obj, GuiLayer*) { dirty = dirty || obj->IsDirty(); }, true);
    return dirty;
}

void GuiMgr::UpdateScene() {
    UpdateLayerTransforms();
    // Parents come before their child layers, so nested group transforms build on fresh ones.
    VisitAll([](GuiObj* obj, GuiLayer*) { obj->Update(); }, false);
}

// --- Selection ----------------------------------------------------------------------------------

void GuiMgr::Notify(GuiObj* obj, int code) {
    if (!obj)
        return;
    obj->NotifySelf(code);
    if (objectNotify && (notifyMask & code))
        objectNotify(obj, code);
}

void GuiMgr::Select(GuiObj* obj) {
    if (obj == selected)
        return;
    if (GuiObj* old = selected) {
        selected = nullptr;
        currentLayer = nullptr;
        old->MarkDirty();
        Notify(old, kGuiDeselected);
    }
    grabbedHandle = -1;
    dragging = false;
    if (obj && obj->Manager() == this) {
        selected = obj;
        currentLayer = obj->Layer();
        obj->MarkDirty();
        Notify(obj, kGuiSelected);
    }
    Paint();
}

void GuiMgr::ForgetObject(GuiObj* obj) {
    if (selected && IsWithin(selected, obj)) {
        selected = nullptr;
        currentLayer = nullptr;
        dragging = false;
        grabbedHandle = -1;
        handles.count = 0;
    }
    if (rightPressed && IsWithin(rightPressed, obj))
        rightPressed = nullptr;
    MarkAllDirty();
}

// --- Interaction ---------------------------------------------------------------------------------

namespace {

// An object's children and, for a group, the objects of its child layer.
std::vector<GuiObj*> ChildrenOf(GuiObj* obj) {
    std::vector<GuiObj*> children = obj->Children();
    if (auto* group = dynamic_cast<GuiGroup*>(obj))
        children.insert(children.end(), group->ChildLayer().Objects().begin(), group->ChildLayer().Objects().end());
    return children;
}

}  // namespace

GuiObj* GuiMgr::HitTest(double x, double y) {
    UpdateScene();
    const PointD p{x, y};
    const double tolerance = kHitTolerance / zoom;
    auto distanceOf = [&p](GuiObj* obj) { return obj->Distance(obj->ToLayer(p)); };

    // What is drawn above everything takes the press first.
    GuiObj* above = nullptr;
    double aboveDistance = std::numeric_limits<double>::infinity();
    VisitAll(
        [&](GuiObj* obj, GuiLayer*) {
            if (!obj->IsOnTop())
                return;
            const double d = distanceOf(obj);
            if (d <= tolerance && d <= aboveDistance) {
                above = obj;
                aboveDistance = d;
            }
        },
        true);
    if (above) {
        currentLayer = above->Layer();
        return above;
    }

    GuiObj* best = nullptr;
    double bestDistance = std::numeric_limits<double>::infinity();
    VisitAll(
        [&](GuiObj* obj, GuiLayer*) {
            if (!obj->HasPriority())
                return;
            const double d = distanceOf(obj);
            if (d <= tolerance && d <= bestDistance) {
                best = obj;
                bestDistance = d;
            }
        },
        true);

    GuiObj* result = best;
    if (best) {
        // Its children may take the press: the last one within the tolerance.
        for (GuiObj* child : ChildrenOf(best))
            if (child->HasFlag(kGuiVisible) && distanceOf(child) <= tolerance)
                result = child;
    } else {
        VisitAll(
            [&](GuiObj* obj, GuiLayer*) {
                if (distanceOf(obj) <= tolerance)
                    result = obj;
            },
            true);
        // A frame drawn on a picture (the crop frame) is grabbed anywhere inside it, not only
        // by its outline: a press inside it is meant for it, not for the picture beneath.
        if (result)
            for (GuiObj* child : ChildrenOf(result))
                if (child->HasFlag(kGuiVisible) && child->HasPriority() && child->HasFlag(kGuiMovable) &&
                    child->Contains(child->ToLayer(p)))
                    result = child;
    }
    if (result)
        currentLayer = result->Layer();
    return result;
}

PointD GuiMgr::ReferenceOnScreen(const GuiObj* obj) const { return obj->ToScreen(obj->GetPosition()); }

void GuiMgr::ComputeSelectionHandles() {
    handles.count = 0;
    if (selected)
        selected->ComputeHandles(handles, kGuiHandleSize, selected->LayerTransform());
}

int GuiMgr::HandleAt(const PointD& p) const {
    for (int i = 0; i < handles.count; ++i)
        if (RectContains(handles.rects[i], p))
            return i;
    return -1;
}

void GuiMgr::DeselectWithDrag() {
    GuiObj* old = selected;
    if (!old)
        return;
    Notify(old, kGuiDeselected);
    Notify(old, kGuiBeforeDrag);
    if (selected == old)
        old->Drag(PointD{}, grabOffset, kGuiDragDeselect, -1);
    Notify(old, kGuiAfterDrag);
    if (selected == old)
        old->MarkDirty();
}

void GuiMgr::LeftPress(double x, double y) {
    const PointD p{x, y};
    dragging = true;
    GuiObj* q = HitTest(x, y);
    if (selected && q != selected) {
        // The selected object keeps a press on its handles, and one inside it where the hit
        // found only a group that carries it (a crop frame on its picture).
        ComputeSelectionHandles();
        const bool onHandle = HandleAt(p) >= 0;
        const bool insideOnCarrier = q && IsWithin(selected, q) && selected->Contains(selected->ToLayer(p));
        if (onHandle || insideOnCarrier) {
            q = selected;
            currentLayer = selected->Layer();
        }
    }
    if (q) {
        GuiHandles h;
        q->ComputeHandles(h, kGuiHandleSize, q->LayerTransform());
        handles = h;
        const int hi = HandleAt(p);
        const PointD grabPoint = hi >= 0 ? CentreOf(handles.rects[hi]) : p;
        grabOffset = grabPoint - ReferenceOnScreen(q);
        grabbedHandle = hi;
        if (q == selected) {
            Notify(q, kGuiBeforeDrag);
            Notify(q, kGuiPressedAgain);
            if (selected == q)
                q->Drag(p, grabOffset, kGuiDragPressSelected, hi);
        } else {
            DeselectWithDrag();
            selected = q;
            currentLayer = q->Layer();
            Notify(q, kGuiSelected);
            Notify(q, kGuiBeforeDrag);
            if (selected == q)
                q->Drag(p, grabOffset, kGuiDragPressNew, hi);
        }
        if (selected == q) {
            Notify(q, kGuiAfterDrag);
            q->MarkDirty();
        }
    } else if (selected) {
        ComputeSelectionHandles();
        const int hi = HandleAt(p);
        if (hi >= 0 || selected->Contains(selected->ToLayer(p))) {
            // A press on the selected object (or its handle) keeps it, ready to drag.
            grabbedHandle = hi;
            const PointD grabPoint = hi >= 0 ? CentreOf(handles.rects[hi]) : p;
            grabOffset = grabPoint - ReferenceOnScreen(selected);
        } else {
            DeselectWithDrag();
            selected = nullptr;
            currentLayer = nullptr;
            dragging = false;
            grabbedHandle = -1;
            handles.count = 0;
        }
    } else {
        dragging = false;
    }
    Paint();
}

void GuiMgr::LeftDrag(double x, double y) {
    if (!selected || !dragging)
        return;
    UpdateScene();
    GuiObj* obj = selected;
    Notify(obj, kGuiBeforeDrag);
    if (selected != obj)
        return;
    if (grabbedHandle < 0)
        obj->Drag({x, y}, grabOffset, kGuiDragMove, -1);
    else
        obj->Drag({x, y}, grabOffset, kGuiDragHandle, grabbedHandle);
    Notify(obj, kGuiAfterDrag);
    if (selected == obj)
        obj->MarkDirty();
    Paint();
}

void GuiMgr::LeftRelease(double, double) { dragging = false; }

void GuiMgr::RightPress(double x, double y) {
    rightPressed = HitTest(x, y);
    if (rightPressed)
        Notify(rightPressed, kGuiRightPressed);
}

void GuiMgr::RightRelease(double, double) {
    GuiObj* obj = rightPressed;
    rightPressed = nullptr;
    if (obj)
        Notify(obj, kGuiRightReleased);
}

void GuiMgr::Pan(double dx, double dy, unsigned modifiers) {
    double factor = 1;
    if (modifiers == kGuiShift)
        factor = 4;
    else if (modifiers == kGuiCtrl)
        factor = 0.5;
    SetOffset(offset.x + dx / zoom * factor, offset.y + dy / zoom * factor, true);
    Paint();
}

void GuiMgr::Wheel(double x, double y, int delta, unsigned modifiers) {
    const double degrees = delta / 8.0;
    double perDegree = 0.01;
    if (modifiers == kGuiShift)
        perDegree = 0.02;
    else if (modifiers == kGuiCtrl)
        perDegree = 0.001;
    const double oldZoom = zoom;
    SetZoom(zoom * (1 + degrees * perDegree), true);
    // The scene point under the pointer stays under it.
    SetOffset(offset.x + x / zoom - x / oldZoom, offset.y + y / zoom - y / oldZoom, true);
    Paint();
}

void GuiMgr::ZoomBy(double factor) {
    SetZoom(zoom * factor, true);
    Paint();
}

bool GuiMgr::Key(GuiKey key) {
    switch (key) {
    case GuiKey::Left: SetOffset(offset.x - std::trunc(0.1 * viewWidth / zoom), offset.y, true); break;
    case GuiKey::Right: SetOffset(offset.x + std::trunc(0.1 * viewWidth / zoom), offset.y, true); break;
    case GuiKey::Up: SetOffset(offset.x, offset.y - std::trunc(0.1 * viewHeight / zoom), true); break;
    case GuiKey::Down: SetOffset(offset.x, offset.y + std::trunc(0.1 * viewHeight / zoom), true); break;
    case GuiKey::ZoomIn: SetZoom(zoom * kZoomInFactor, true); break;
    case GuiKey::ZoomOut: SetZoom(zoom * kZoomOutFactor, true); break;
    case GuiKey::ZoomAll: ZoomToFitAll(); break;
    default: return false;
    }
    Paint();
    return true;
}

// --- Fitting ------------------------------------------------------------------------------------

bool GuiMgr::SceneBounds(const std::vector<GuiObj*>& objects, RectD& box) const {
    bool any = false;
    for (GuiObj* obj : objects) {
        if (!obj || !obj->HasFlag(kGuiVisible))
            continue;
        const RectD r = obj->BoundingRect(0).Transformed(obj->SceneFromLayer());
        box = any ? box.United(r) : r;
        any = true;
    }
    return any;
}

bool GuiMgr::SceneBoundsOfAll(RectD& box) const {
    std::vector<GuiObj*> all;
    VisitAll([&all](GuiObj* obj, GuiLayer*) { all.push_back(obj); }, true);
    return SceneBounds(all, box);
}

void GuiMgr::ZoomToRect(const RectD& box) {
    const double W = viewWidth, H = viewHeight;
    if (W <= 1 || H <= 1)
        return;
    const double z = box.height / H > box.width / W ? (H - 1) / (box.height + 1.5) : (W - 1) / (box.width + 1.5);
    SetZoom(z, true);
    SetOffset(std::trunc(-box.left + 0.5), std::trunc(-box.top + 0.5), true);
    Paint();
}

void GuiMgr::ZoomToFitAll() {
    RectD box;
    if (SceneBoundsOfAll(box))
        ZoomToRect(box);
}

void GuiMgr::ZoomToFit(const std::vector<GuiObj*>& objects) {
    RectD box;
    if (SceneBounds(objects, box))
        ZoomToRect(box);
}

// --- Painting -----------------------------------------------------------------------------------

void GuiMgr::Paint() {
    UpdateScene();
    if (repaintRequest)
        repaintRequest();
}

void GuiMgr::DeleteTextureLater(unsigned name) {
    if (name)
        texturesToDelete.push_back(name);
}
