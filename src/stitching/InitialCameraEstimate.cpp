// The first cameras of a fit, chained from the edge homographies outward from each tree's root,
// and the refresh of the edge transfers from the cameras.
#include <cstddef>
#include <vector>

#include "stitching/CameraFitter.h"
#include "stitching/Rotations.h"

void CameraFitter::EstimateMainTree(double focalLength) {
    if (cameraList.empty())
        CollectCameras();
    // The second pass starts from edge transfers that the first pass's cameras rewrote, so
    // images reached through several nodes agree with their first estimate.
    for (int pass = 0; pass < 2; ++pass)
        EstimatePass(false, focalLength);
}

void CameraFitter::EstimateTransitionTree() {
    closingCameraList.clear();
    if (!transitionTree || cameraList.empty())
        return;
    for (int image : transitionTree->DistinctImages()) {
        Camera camera;
        camera.image = image;
        closingCameraList.push_back(camera);
    }
    for (int pass = 0; pass < 2; ++pass)
        EstimatePass(true, cameraList[0].focalLength);
}

void CameraFitter::EstimatePass(bool closing, double focalLength) {
    std::vector<Camera>& list = closing ? closingCameraList : cameraList;
    HierarchyNode* root = closing ? transitionTree.get() : mainTree.get();
    for (Camera& camera : list) {
        const ImageSize& size = in.imageSizes.at(static_cast<size_t>(camera.image));
        camera.Initialise(size.width, size.height);
        camera.focalLength = focalLength;
        camera.UpdateIntrinsics();
    }
    Camera& rootCamera = list[0];
    if (closing) {
        // The loop starts from where the main tree put its root image.
        const Camera& same = cameraList[CameraIndex(cameraList, root->image)];
        rootCamera.alpha = same.alpha;
        rootCamera.beta = same.beta;
        rootCamera.gamma = same.gamma;
    } else {
        rootCamera.alpha = rootCamera.beta = rootCamera.gamma = 0;
    }
    rootCamera.RotationFromAngles();
    // The root's rotation is its estimate: a later node of the root's image must not replace it.
    rootCamera.estimated = 0;
    root->workMatrix = rootCamera.rotation;

    ForEachPreOrder(root->firstChild, [&](const HierarchyNode* constNode) {
        HierarchyNode* node = const_cast<HierarchyNode*>(constNode);
        Camera& c = list[CameraIndex(list, node->image)];
        const Camera& p = list[CameraIndex(list, node->parent->image)];
        CMatrix relative = p.KInverse * node->toParent * c.K;
        node->workMatrix = node->parent->workMatrix * NearestRotation(relative);
        if (c.estimated != 0) {
            c.estimated = 0;
            c.AnglesFromRotation(node->workMatrix);
        }
    });
    RefreshCameras();
}

CMatrix ChildToParentTransfer(const Camera& child, const Camera& parent) {
    return parent.K * parent.rotationTransposed * child.rotation * child.KInverse;
}

void CameraFitter::RefreshTree(HierarchyNode* tree, std::vector<Camera>& list) {
    for (Camera& camera : list) {
        camera.UpdateIntrinsics();
        camera.RotationFromAngles();
    }
    // The fit refreshes every camera for each step of its difference quotients: a lookup by
    // image keeps that linear in the number of cameras.
    std::vector<int> cameraOfImage;
    for (size_t k = 0; k < list.size(); ++k) {
        const size_t image = static_cast<size_t>(list[k].image);
        if (image >= cameraOfImage.size())
            cameraOfImage.resize(image + 1, -1);
        if (cameraOfImage[image] < 0)
            cameraOfImage[image] = static_cast<int>(k);
    }
    auto cameraOf = [&](int image) -> const Camera& {
        const size_t at = static_cast<size_t>(image);
        if (image < 0 || at >= cameraOfImage.size() || cameraOfImage[at] < 0)
            throw "CameraFitter: a tree image without a camera";
        return list[static_cast<size_t>(cameraOfImage[at])];
    };
    ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* constNode) {
        HierarchyNode* node = const_cast<HierarchyNode*>(constNode);
        const Camera& c = cameraOf(node->image);
        const Camera& p = cameraOf(node->parent->image);
        node->toParent = ChildToParentTransfer(c, p);
        node->fromParent = ChildToParentTransfer(p, c);
    });
}

void CameraFitter::RefreshCameras() {
    if (mainTree && !cameraList.empty())
        RefreshTree(mainTree.get(), cameraList);
    // The closing list exists only once the transition tree has been estimated; before that
    // its edges keep the transfers they came with.
    if (transitionTree && !closingCameraList.empty()) {
        const int image = closingCameraList[0].image;
        closingCameraList[0] = cameraList[CameraIndex(cameraList, image)];
        RefreshTree(transitionTree.get(), closingCameraList);
    }
}
