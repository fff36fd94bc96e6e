#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "view/GuiLayer.h"
#include "view/GuiTypes.h"

class GuiObj;

// Keys the manager handles itself; the view widget maps the keyboard onto them.
enum class GuiKey { Left, Right, Up, Down, ZoomIn, ZoomOut, ZoomAll };

// The scene manager of one view: layers of objects, the view transform (a scene point p is
// shown at zoom * (p + offset)), the selection and the mouse interaction. Everything but
// Render() works without GL, so the interaction is testable on its own; Render() draws into
// the current GL context.
class GuiMgr {
public:
    GuiMgr();
    ~GuiMgr();
    GuiMgr(const GuiMgr&) = delete;
    GuiMgr& operator=(const GuiMgr&) = delete;

    // Managers are known process-wide by id; an object finds its manager through it.
    int Id() const { return id; }
    static GuiMgr* Find(int id);

    // --- View transform -----------------------------------------------------------------------
    void SetViewportSize(int w, int h);
    int ViewportWidth() const { return viewWidth; }
    int ViewportHeight() const { return viewHeight; }
    // Zoom stays within [kMinZoom, kMaxZoom]; notify calls the zoom-changed callback.
    static constexpr double kMinZoom = 0.001, kMaxZoom = 1000;
    void SetZoom(double zoom, bool notify);
    double GetZoom() const { return zoom; }
    void SetOffset(double x, double y, bool notify);
    PointD GetOffset() const { return offset; }
    PointD SceneToScreen(const PointD& p) const;
    PointD ScreenToScene(const PointD& s) const;

    // --- Layers ---------------------------------------------------------------------------------
    // Layer 0 exists from the start and follows the zoom.
    int LayerCount() const { return static_cast<int>(layers.size()); }
    GuiLayer& Layer(int index) { return *layers.at(static_cast<size_t>(index)); }
    GuiLayer& AddLayer(bool followsZoom);
    // Places obj in layer 0 (as a child of parent when given).
    void Add(GuiObj* obj, GuiObj* parent = nullptr) { Layer(0).Add(obj, parent); }
    void MarkAllDirty();
    // Whether a layer or any object of the scene waits to be drawn (the selected object
    // always does, for its crawling outline).
    bool NeedsRepaint() const { return Crawling() || SceneChanged(); }
    // Whether a layer or an object changed since it was last drawn.
    bool SceneChanged() const;
    // Whether a selected object's outline crawls: a frame now and then keeps it moving.
    bool Crawling() const { return selected != nullptr; }
    // Recomputes the layer transforms and every object's derived state.
    void UpdateScene();

    // --- Selection --------------------------------------------------------------------------------
    GuiObj* Selected() const { return selected; }
    GuiLayer* CurrentLayer() const { return currentLayer; }
    // Selects obj (null deselects), sending 16 to the old and 4 to the new object.
    void Select(GuiObj* obj);
    int GrabbedHandle() const { return grabbedHandle; }
    bool IsDragging() const { return dragging; }
    const GuiHandles& Handles() const { return handles; }
    // The object leaves the scene (or dies): the selection and right-press drop it silently.
    void ForgetObject(GuiObj* obj);

    // --- Interaction (screen pixels) -----------------------------------------------------------
    static constexpr double kHitTolerance = 10;  // pixels
    GuiObj* HitTest(double x, double y);
    void LeftPress(double x, double y);
    void LeftDrag(double x, double y);
    void LeftRelease(double x, double y);
    void RightPress(double x, double y);
    void RightRelease(double x, double y);
    // Right-button pan by a pointer movement; modifiers are GuiModifier bits.
    void Pan(double dx, double dy, unsigned modifiers);
    // Wheel zoom about the pointer; delta in eighths of a degree (120 per notch).
    void Wheel(double x, double y, int delta, unsigned modifiers);
    // True when the manager handled the key (and repainted).
    bool Key(GuiKey key);
    // Multiplies the zoom (with notification) and repaints.
    void ZoomBy(double factor);
    static constexpr double kZoomInFactor = 1.1, kZoomOutFactor = 0.909;

    // --- Fitting ----------------------------------------------------------------------------------
    // The bounding rectangle of the visible objects in scene units; false for none.
    bool SceneBounds(const std::vector<GuiObj*>& objects, RectD& box) const;
    bool SceneBoundsOfAll(RectD& box) const;
    void ZoomToFitAll();
    void ZoomToFit(const std::vector<GuiObj*>& objects);
    void ZoomToRect(const RectD& box);

    // --- Painting ---------------------------------------------------------------------------------
    // Brings the scene up to date and asks the widget for a repaint.
    void Paint();
    // Draws every layer into the current GL context (the widget's paintGL).
    void Render();
    // Textures of objects that left are deleted at the next Render (their context current).
    void DeleteTextureLater(unsigned name);
    // Releases the GL resources of every object of the scene now; the context must be current.
    void ReleaseAllGLResources();

    // --- Callbacks ----------------------------------------------------------------------------------
    void SetRepaintCallback(std::function<void()> f) { repaintRequest = std::move(f); }
    void SetZoomChangedCallback(std::function<void(double)> f) { zoomChanged = std::move(f); }
    void SetOffsetChangedCallback(std::function<void(double, double)> f) { offsetChanged = std::move(f); }
    void SetObjectCallback(std::function<void(GuiObj*, int)> f) { objectNotify = std::move(f); }
    void SetNotificationMask(int mask) { notifyMask = mask; }
    int NotificationMask() const { return notifyMask; }
    // The object's own callback first, then the manager's.
    void Notify(GuiObj* obj, int code);

private:
    void UpdateLayerTransforms();
    void VisitAll(const std::function<void(GuiObj*, GuiLayer*)>& f, bool visibleOnly) const;
    int HandleAt(const PointD& p) const;
    PointD ReferenceOnScreen(const GuiObj* obj) const;
    void ComputeSelectionHandles();
    void DeselectWithDrag();
    void FlushTextureDeletions();

    int id;
    int viewWidth = 2048, viewHeight = 2048;
    double zoom = 1.0;
    PointD offset;
    std::vector<std::unique_ptr<GuiLayer>> layers;

    GuiObj* selected = nullptr;
    GuiLayer* currentLayer = nullptr;
    int grabbedHandle = -1;
    PointD grabOffset;
    bool dragging = false;
    GuiObj* rightPressed = nullptr;
    GuiHandles handles;

    int notifyMask = kGuiAllNotifications;
    std::function<void()> repaintRequest;
    std::function<void(double)> zoomChanged;
    std::function<void(double, double)> offsetChanged;
    std::function<void(GuiObj*, int)> objectNotify;
    std::vector<unsigned> texturesToDelete;
};
