#pragma once

// Renders photographs of the shipped world into a temporary folder for the tests.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "image/ImageFile.h"
#include "render/ViewRenderer.h"

inline const render::World& TestWorld() {
    static std::unique_ptr<render::World> world;
    if (!world) {
        world = std::make_unique<render::World>();
        if (!world->Load(std::string(VEDORA_TEST_DATA) + "/world.jpg"))
            throw "test world missing";
    }
    return *world;
}

class RenderedViews {
public:
    explicit RenderedViews(const std::vector<render::ViewSpec>& specs) : views(specs) {
        for (size_t i = 0; i < specs.size(); ++i) {
            std::string path = folder.filePath(QString("view%1.jpg").arg(i)).toStdString();
            SaveImageFile(render::RenderView(TestWorld(), specs[i]), QString::fromStdString(path));
            paths.push_back(path);
        }
    }
    const std::string& Path(size_t i) const { return paths[i]; }
    const render::ViewSpec& Spec(size_t i) const { return views[i]; }
    std::string Folder() const { return folder.path().toStdString(); }

private:
    QTemporaryDir folder;
    std::vector<render::ViewSpec> views;
    std::vector<std::string> paths;
};

inline render::ViewSpec View(double yaw, double pitch, double roll, double focal = 1400, int w = 1600, int h = 1200) {
    render::ViewSpec v;
    v.yaw = yaw;
    v.pitch = pitch;
    v.roll = roll;
    v.focal = focal;
    v.width = w;
    v.height = h;
    return v;
}
