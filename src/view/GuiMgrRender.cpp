// The GL half of the scene manager: drawing every layer into the current context.
#include <GL/gl.h>

#include <utility>
#include <vector>

#include "view/GuiMgr.h"
#include "view/GuiObj.h"
#include "view/TextureGL.h"

void GuiMgr::FlushTextureDeletions() {
    TextureGL& gl = CurrentTextureGL();
    for (unsigned name : texturesToDelete)
        gl.DeleteTexture(name);
    texturesToDelete.clear();
}

void GuiMgr::ReleaseAllGLResources() {
    VisitAll(
        [this](GuiObj* obj, GuiLayer*) {
            if (obj->GLManagerId() == id)
                obj->ReleaseGLResources();
        },
        false);
    FlushTextureDeletions();
}

void GuiMgr::Render() {
    FlushTextureDeletions();
    UpdateScene();
    const double w = viewWidth, h = viewHeight;
    glViewport(0, 0, viewWidth, viewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-w / 2, w / 2, -h / 2, h / 2, 1, 100000);
    // One unit is one pixel at z = -1, the origin at the top-left and y pointing down.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(-w / 2, -h / 2, -1);
    glScaled(1, -1, 1);
    glTranslated(0, -h, 0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // All layers are drawn after one clear: clearing per dirty layer would wipe the layers
    // drawn before it.
    std::vector<std::pair<GuiObj*, CMatrix>> onTop;
    auto draw = [this](GuiObj* obj, const CMatrix& transform) {
        if (obj->GLManagerId() != id) {
            if (obj->GLManagerId() != 0)
                obj->ReleaseGLResources();
            // Recorded first: a creation that fails is not retried on every frame.
            obj->SetGLManagerId(id);
            obj->CreateGLResources();
        } else if (obj->NeedsGLResources()) {
            obj->CreateGLResources();
        }
        obj->Draw(transform);
        obj->ClearDirty();
        if (obj == selected) {
            ComputeSelectionHandles();
            obj->DrawSelection(handles, transform, kGuiSelectionColor);
        }
    };
    VisitAll(
        [&](GuiObj* obj, GuiLayer* layer) {
            if (obj->IsOnTop())
                onTop.emplace_back(obj, layer->Transform());
            else
                draw(obj, layer->Transform());
        },
        true);
    for (const auto& [obj, transform] : onTop)
        draw(obj, transform);
    for (auto& layer : layers)
        layer->SetDirty(false);
}
