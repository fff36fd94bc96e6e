#include "view/GuiLayer.h"

#include <algorithm>

#include "view/GuiGroup.h"
#include "view/GuiMgr.h"
#include "view/GuiObj.h"
#include "view/ViewTransform.h"

GuiLayer::GuiLayer(bool follows) : transform(IdentityTransform()), followsZoom(follows) {}

GuiLayer::~GuiLayer() { Clear(); }

void GuiLayer::SetLayerOfTree(GuiObj* obj, GuiLayer* layer) {
    obj->layer = layer;
    for (GuiObj* child : obj->children)
        SetLayerOfTree(child, layer);
}

std::vector<GuiObj*>& GuiLayer::SiblingsOf(GuiObj* obj) { return obj->parent ? obj->parent->children : objects; }

void GuiLayer::Add(GuiObj* obj, GuiObj* parentObj) {
    if (!obj || obj == parentObj)
        return;
    obj->RemoveFromScene();
    if (parentObj && parentObj->layer != this)
        parentObj = nullptr;
    obj->parent = parentObj;
    (parentObj ? parentObj->children : objects).push_back(obj);
    SetLayerOfTree(obj, this);
    obj->MarkDirty();
    MarkChanged();
}

void GuiLayer::MarkChanged() {
    dirty = true;
    if (owner)
        owner->MarkDirty();
}

void GuiLayer::Detach(GuiObj* obj) {
    auto& siblings = SiblingsOf(obj);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), obj), siblings.end());
    obj->parent = nullptr;
    SetLayerOfTree(obj, nullptr);
    MarkChanged();
}

void GuiLayer::Remove(GuiObj* obj) {
    if (!obj || obj->layer != this)
        return;
    if (GuiMgr* mgr = Manager())
        mgr->ForgetObject(obj);
    Detach(obj);
}

void GuiLayer::Clear() {
    while (!objects.empty())
        Remove(objects.back());
}

int GuiLayer::ManagerId() const {
    const GuiLayer* root = RootLayer();
    return root ? root->managerId : 0;
}

GuiMgr* GuiLayer::Manager() const { return GuiMgr::Find(ManagerId()); }

const GuiLayer* GuiLayer::RootLayer() const {
    const GuiLayer* l = this;
    while (l && l->owner)
        l = l->owner->Layer();
    return l;
}

namespace {

void VisitObject(GuiObj* obj, GuiLayer* layer, const std::function<void(GuiObj*, GuiLayer*)>& f, bool visibleOnly) {
    if (visibleOnly && !obj->HasFlag(kGuiVisible))
        return;
    f(obj, layer);
    if (auto* group = dynamic_cast<GuiGroup*>(obj))
        group->ChildLayer().Visit(f, visibleOnly);
    // A copy: the visitor may not change the tree, but a child list must not move under us.
    const std::vector<GuiObj*> children = obj->Children();
    for (GuiObj* child : children)
        VisitObject(child, layer, f, visibleOnly);
}

}  // namespace

void GuiLayer::Visit(const std::function<void(GuiObj*, GuiLayer*)>& f, bool visibleOnly) const {
    const std::vector<GuiObj*> top = objects;
    for (GuiObj* obj : top)
        VisitObject(obj, const_cast<GuiLayer*>(this), f, visibleOnly);
}
