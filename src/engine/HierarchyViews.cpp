// What the window and the command line show of the hierarchy: the XML document of the trees
// for the tree widget, and the layout of all image groups for the view's align command.
#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

void WriteNodes(const HierarchyNode* node, XmlElement* parent, bool transitions,
                const std::vector<ImageRecord>& images) {
    for (; node; node = node->nextSibling) {
        auto* element = new XmlElement("Node");
        parent->AppendChild(element);
        Chars item;
        if (node->parent)
            item = Chars::Format("%d-%d: %d matches, err:%3.1f", node->image, node->parent->image,
                                 static_cast<int>(node->childPoints.size()), node->error);
        else if (transitions)
            item = Chars::Format("Image %d (360 degrees transitions)", node->image);
        else
            item = Chars::Format("Reference image %d", node->image);
        element->Attribute("item", true)->Set(item);
        element->Attribute("path", true)->Set(images[static_cast<size_t>(node->image)].path);
        WriteNodes(node->firstChild, element, false, images);
    }
}

}  // namespace

std::vector<int> PanoramaEngine::PhotographsLeftOut() const {
    std::vector<int> leftOut;
    if (!mainTree)
        return leftOut;
    std::vector<bool> drawn(images.size(), false);
    for (int image : mainTree->DistinctImages())
        if (image >= 0 && static_cast<size_t>(image) < drawn.size())
            drawn[static_cast<size_t>(image)] = true;
    for (size_t k = 0; k < drawn.size(); ++k)
        if (!drawn[k])
            leftOut.push_back(static_cast<int>(k));
    return leftOut;
}

std::string PanoramaEngine::LeftOutMessage() const {
    const std::vector<int> leftOut = PhotographsLeftOut();
    if (leftOut.empty())
        return std::string();
    std::string names;
    for (int image : leftOut)
        names += std::string(names.empty() ? "" : ", ") + images[static_cast<size_t>(image)].path.c_str();
    const char* text = leftOut.size() == 1 ? "Left out of the panorama, it overlaps none of the other photographs: "
                                           : "Left out of the panorama, they overlap none of the other photographs: ";
    return Tr(text) + names;
}

std::unique_ptr<XmlDocument> PanoramaEngine::HierarchyDocument(const char* rootName) const {
    auto document = std::make_unique<XmlDocument>();
    document->Reset(rootName);
    std::vector<int> groups = FindImageGroups();
    if (images.empty() || groups.empty() || ImageTreeSize(groups[0]) <= 1)
        return document;
    for (int root : groups) {
        if (root == referenceIndex && mainTree) {
            WriteNodes(mainTree.get(), document->Root(), false, images);
            if (transitionTree)
                WriteNodes(transitionTree.get(), document->Root(), true, images);
        } else {
            WriteNodes(ImageTree(root), document->Root(), false, images);
        }
    }
    return document;
}

void PanoramaEngine::GroupLayout(std::vector<PlacedImage>& placed, std::vector<int>& unplaced) const {
    placed.clear();
    unplaced.clear();
    std::vector<char> done(images.size(), 0);
    double yOffset = 0;
    std::vector<int> groups = FindImageGroups();
    for (size_t g = 0; g < groups.size(); ++g) {
        const HierarchyNode* tree = g == 0 && mainTree ? mainTree.get() : ImageTree(groups[g]);
        if (!tree || tree->CountNodes() <= 1)
            continue;
        std::map<int, PointD> position;
        std::vector<int> order;
        double left = std::numeric_limits<double>::infinity(), top = left, right = -left, bottom = -left;
        auto place = [&](int image, PointD at) {
            position[image] = at;
            order.push_back(image);
            const ImageRecord& r = images[static_cast<size_t>(image)];
            left = std::min(left, at.x);
            top = std::min(top, at.y);
            right = std::max(right, at.x + r.width);
            bottom = std::max(bottom, at.y + r.height);
        };
        place(tree->image, {0, yOffset});
        ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* n) {
            if (position.count(n->image) || done[static_cast<size_t>(n->image)])
                return;
            PointD parent = position[n->parent->image];
            PointD a = Centroid(n->parentPoints), b = Centroid(n->childPoints);
            place(n->image, {parent.x + a.x - b.x, parent.y + a.y - b.y});
        });
        for (int image : order) {
            PointD p = position[image];
            placed.push_back({image, p.x - left, p.y - top + yOffset});
            done[static_cast<size_t>(image)] = 1;
        }
        yOffset += bottom - top + 50;
    }
    for (size_t k = 0; k < images.size(); ++k)
        if (!done[k])
            unplaced.push_back(static_cast<int>(k));
}
