#include "view/GuiObj.h"

#include <algorithm>

#include "view/GuiGroup.h"
#include "view/GuiLayer.h"
#include "view/GuiMgr.h"
#include "view/ViewTransform.h"

GuiObj::GuiObj(const GuiObj& other)
    : name(other.name), colour(other.colour), priority(other.priority), flags(other.flags), notify(other.notify),
      notifyMask(other.notifyMask) {}

GuiObj::~GuiObj() {
    RemoveFromScene();
    for (GuiObj* child : children)
        child->parent = nullptr;
}

void GuiObj::SetColor(float r, float g, float b, float a) {
    if (colour.r == r && colour.g == g && colour.b == b && colour.a == a)
        return;
    colour = {r, g, b, a};
    MarkDirty();
}

void GuiObj::SetFlags(unsigned f) {
    if (f == flags)
        return;
    flags = f;
    MarkDirty();
    if (layer)
        layer->MarkChanged();
}

void GuiObj::SetNotification(GuiNotifyFunction callback, int mask) {
    notify = std::move(callback);
    notifyMask = mask;
}

void GuiObj::NotifySelf(int code) {
    if (notify && (notifyMask & code))
        notify(this, code);
}

int GuiObj::ManagerId() const { return layer ? layer->ManagerId() : 0; }

GuiMgr* GuiObj::Manager() const { return GuiMgr::Find(ManagerId()); }

GuiGroup* GuiObj::OwnerGroup() const { return layer ? layer->Owner() : nullptr; }

void GuiObj::RemoveFromScene() {
    if (layer)
        layer->Remove(this);
}

bool GuiObj::BringToFront() {
    if (!layer)
        return false;
    auto& siblings = layer->SiblingsOf(this);
    if (siblings.empty() || siblings.back() == this)
        return false;
    siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    siblings.push_back(this);
    MarkDirty();
    return true;
}

bool GuiObj::SendToBack() {
    if (!layer)
        return false;
    auto& siblings = layer->SiblingsOf(this);
    if (siblings.empty() || siblings.front() == this)
        return false;
    siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    siblings.insert(siblings.begin(), this);
    MarkDirty();
    return true;
}

CMatrix GuiObj::LayerTransform() const { return layer ? layer->Transform() : IdentityTransform(); }

PointD GuiObj::ToLayer(const PointD& screen) const {
    return ApplyTransform(InverseTransform(LayerTransform()), screen);
}

PointD GuiObj::ToScreen(const PointD& layerPoint) const { return ApplyTransform(LayerTransform(), layerPoint); }

CMatrix GuiObj::SceneFromLayer() const {
    if (!layer)
        return IdentityTransform();
    const GuiLayer* root = layer->RootLayer();
    if (!root || root == layer)
        return IdentityTransform();
    return InverseTransform(root->Transform()) * layer->Transform();
}
