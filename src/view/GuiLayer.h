#pragma once

#include <functional>
#include <vector>

#include "linalg/CMatrix.h"

class GuiGroup;
class GuiMgr;
class GuiObj;

// A tree of scene objects drawn with one transform. The manager's layers map the scene to the
// screen by zoom and offset; a group's child layer maps its children into the group's frame.
class GuiLayer {
public:
    explicit GuiLayer(bool followsZoom = true);
    ~GuiLayer();
    GuiLayer(const GuiLayer&) = delete;
    GuiLayer& operator=(const GuiLayer&) = delete;

    // Appends obj (with its subtree) as the last child of parent, or at the top level when
    // parent is null or lives elsewhere. An object already placed is taken out first.
    void Add(GuiObj* obj, GuiObj* parent = nullptr);
    // Takes obj and its subtree out of this layer; nothing when obj is not in it.
    void Remove(GuiObj* obj);
    // Takes every object out.
    void Clear();
    const std::vector<GuiObj*>& Objects() const { return objects; }

    bool FollowsZoom() const { return followsZoom; }
    bool IsDirty() const { return dirty; }
    void SetDirty(bool on) { dirty = on; }
    // A change inside the layer: the owning group (and so the manager's layer) repaints too.
    void MarkChanged();
    const CMatrix& Transform() const { return transform; }
    void SetTransform(const CMatrix& m) { transform = m; }

    // The group that owns this child layer, none for a manager's layer.
    GuiGroup* Owner() const { return owner; }
    // The manager of the scene the layer belongs to (through the owning groups).
    int ManagerId() const;
    GuiMgr* Manager() const;
    // The manager's layer at the root of the owner chain (itself for a manager's layer).
    const GuiLayer* RootLayer() const;

    // Visits the objects in drawing order: each object, then its group's child layer, then
    // its children, later siblings after earlier ones. With visibleOnly, invisible objects
    // are skipped with everything below them.
    void Visit(const std::function<void(GuiObj*, GuiLayer*)>& f, bool visibleOnly) const;

private:
    friend class GuiMgr;
    friend class GuiGroup;
    friend class GuiObj;

    void Detach(GuiObj* obj);
    static void SetLayerOfTree(GuiObj* obj, GuiLayer* layer);
    std::vector<GuiObj*>& SiblingsOf(GuiObj* obj);

    std::vector<GuiObj*> objects;
    CMatrix transform;
    bool followsZoom;
    bool dirty = true;
    GuiGroup* owner = nullptr;
    int managerId = 0;
};
