#pragma once

#include <functional>
#include <string>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "view/GuiTypes.h"

class GuiGroup;
class GuiLayer;
class GuiMgr;
class GuiObj;

// An object's own notification callback: the object and the code.
using GuiNotifyFunction = std::function<void(GuiObj* obj, int code)>;

// Base of everything the image view shows. Objects are owned by whoever created them; a layer
// only refers to them, and an object leaves its layer (and its manager's selection) when it
// is destroyed.
class GuiObj {
public:
    virtual ~GuiObj();

    // --- The operations every kind of object provides -----------------------------------------
    virtual GuiObj* Clone() const = 0;
    virtual void SetPosition(const PointD& p) = 0;
    virtual PointD GetPosition() const = 0;
    virtual void SetAngle(double radians) = 0;
    virtual double GetAngle() const = 0;
    virtual void Scale(double sx, double sy) = 0;
    // Distance from a point in the object's layer coordinates.
    virtual double Distance(const PointD& p) const = 0;
    virtual bool Contains(const PointD& p) const = 0;
    // Axis-aligned, in the object's layer coordinates.
    virtual RectD BoundingRect(double margin) const = 0;
    // Recomputes derived state before drawing.
    virtual void Update() = 0;
    // Drawing needs a current GL context; transform maps layer coordinates to screen pixels.
    virtual void Draw(const CMatrix& transform) = 0;
    virtual void DrawSelection(const GuiHandles& handles, const CMatrix& transform, const GuiColor& colour) = 0;
    // Handle squares of side `size` pixels in screen coordinates; sets handles.count.
    virtual void ComputeHandles(GuiHandles& handles, double size, const CMatrix& transform) const = 0;
    // pointer and grabOffset in screen pixels; mode is a GuiDragMode.
    virtual void Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) = 0;
    virtual void CreateGLResources() = 0;
    virtual void ReleaseGLResources() = 0;
    // True when the object's GL resources must be made again before the next draw.
    virtual bool NeedsGLResources() const { return false; }

    // --- Fields ----------------------------------------------------------------------------------
    const std::string& Name() const { return name; }
    void SetName(const std::string& text) { name = text; }

    const GuiColor& Color() const { return colour; }
    void SetColor(float r, float g, float b, float a);

    bool IsDirty() const { return dirty; }
    void MarkDirty() { dirty = true; }
    void ClearDirty() { dirty = false; }

    bool HasPriority() const { return priority; }
    void SetPriority(bool on) { priority = on; }
    // Drawn after everything else and pressed before it: markers that belong to a picture but
    // must stay in sight (and in reach) where another picture overlaps theirs.
    bool IsOnTop() const { return onTop; }
    void SetOnTop(bool on) {
        onTop = on;
        MarkDirty();
    }

    unsigned Flags() const { return flags; }
    bool HasFlag(unsigned flag) const { return (flags & flag) != 0; }
    void SetFlags(unsigned f);

    void SetNotification(GuiNotifyFunction callback, int mask = kGuiAllNotifications);
    int NotificationMask() const { return notifyMask; }
    // Calls the own callback when the mask has the code.
    void NotifySelf(int code);

    // --- Place in the scene ------------------------------------------------------------------------
    GuiLayer* Layer() const { return layer; }
    GuiObj* Parent() const { return parent; }
    const std::vector<GuiObj*>& Children() const { return children; }
    // The manager of the layer the object lives in (0 / none when not placed).
    int ManagerId() const;
    GuiMgr* Manager() const;
    // The group whose child layer holds the object, if any.
    GuiGroup* OwnerGroup() const;
    // Takes the object (with its subtree) out of its layer; the selection drops it silently.
    void RemoveFromScene();
    // Moves the object to the end / start of its siblings; false when it is already there.
    bool BringToFront();
    bool SendToBack();

    // The manager holding this object's GL resources (0 for none).
    int GLManagerId() const { return glManagerId; }
    void SetGLManagerId(int id) { glManagerId = id; }

    // The transform of the object's layer (identity when not placed) and the mappings.
    CMatrix LayerTransform() const;
    PointD ToLayer(const PointD& screen) const;
    PointD ToScreen(const PointD& layerPoint) const;
    // Layer coordinates to the coordinates of the topmost layer of the object's scene
    // (the scene's own units, before zoom and offset).
    CMatrix SceneFromLayer() const;

protected:
    GuiObj() = default;
    // Copies the object's own fields; the copy belongs to no layer and holds no GL resources.
    GuiObj(const GuiObj& other);
    GuiObj& operator=(const GuiObj&) = delete;

private:
    friend class GuiLayer;

    std::string name;
    GuiColor colour;
    bool dirty = true;
    bool priority = false;
    bool onTop = false;
    unsigned flags = kGuiVisible;
    GuiNotifyFunction notify;
    int notifyMask = kGuiAllNotifications;

    GuiLayer* layer = nullptr;
    GuiObj* parent = nullptr;
    std::vector<GuiObj*> children;
    int glManagerId = 0;
};
