// What a panorama's file says about it beside its pixels: the reference photograph's EXIF and
// colour profile, carried over and corrected, and for a spherical panorama where it lies on the
// sphere, so that photo-sphere viewers open it.
#include <cmath>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "engine/StitchedPanorama.h"
#include "engine/VedoraVersion.h"
#include "image/OutputMetadata.h"
#include "image/PhotoMetadata.h"
#include "stitching/Projection.h"

namespace {

// Rows that lie off the sphere's parallels by more than this (radians) get no sphere metadata.
constexpr double kLevelTolerance = 0.02;

}  // namespace

int PanoramaEngine::ReferenceCameraIndex() const {
    const int reference = referenceImagePath.IsEmpty() ? -1 : FindImage(referenceImagePath.c_str());
    for (size_t i = 0; i < cameraList.size(); ++i)
        if (cameraList[i].image == reference)
            return static_cast<int>(i);
    return cameraList.empty() ? -1 : 0;
}

// Called with the panorama's own geometry in place.
void PanoramaEngine::PlaceOnSphere(StitchedPanorama& stitched) const {
    const int index = ReferenceCameraIndex();
    stitched.referenceImage = index < 0 ? -1 : cameraList[static_cast<size_t>(index)].image;
    stitched.onSphere.reset();
    if (index < 0 || GetProjection().Type() != ProjectionType::Spherical)
        return;
    const CMatrix& T = panoramaTransform;
    // The map from (longitude, latitude) to pixels is a scaling and a turn; a turned panorama's
    // rows are no parallels.
    const double turn = std::atan2(T(1, 0), T(0, 0));
    if (std::abs(turn) > kLevelTolerance)
        return;
    const Camera& camera = cameraList[static_cast<size_t>(index)];
    const PointD centre = GetProjection().ToSurface(camera, camera.principalX, camera.principalY);
    StitchedPanorama::OnSphere on;
    on.pixelsPerRadian = std::hypot(T(0, 0), T(1, 0));
    on.referenceColumn = T(0, 0) * centre.x + T(0, 1) * centre.y + T(0, 2);
    on.horizonRow = T(1, 0) * centre.x + T(1, 2);
    stitched.onSphere = on;
}

EmbeddedMetadata PanoramaEngine::FileMetadata(const std::string& path, const stitch::CropFrame& frame) {
    const StitchedPanorama& stitched = *stitchedPanorama;
    PhotoMetadata reference;
    if (stitched.referenceImage >= 0 && stitched.referenceImage < static_cast<int>(images.size()))
        reference = ReadPhotoMetadata(images[static_cast<size_t>(stitched.referenceImage)].path.c_str());
    std::vector<std::string> notes;
    if (!reference.problem.empty())
        notes.push_back("the reference photograph's metadata cannot be read (" + reference.problem + ")");
    PanoramaFacts facts;
    facts.width = frame.width;
    facts.height = frame.height;
    facts.software = std::string("Vedora ") + kVedoraVersion;
    if (stitched.onSphere) {
        const StitchedPanorama::OnSphere& on = *stitched.onSphere;
        PhotoSphereFacts sphere;
        sphere.pixelsPerRadian = on.pixelsPerRadian;
        sphere.left = M_PI * on.pixelsPerRadian + (frame.x0 - on.referenceColumn);
        sphere.top = M_PI / 2 * on.pixelsPerRadian - (on.horizonRow - frame.y0);
        sphere.headingDegrees = reference.heading >= 0 ? reference.heading : 0;
        facts.sphere = sphere;
    }
    EmbeddedMetadata metadata = PanoramaMetadata(reference, facts, &notes);
    if (RowImageWriter::IsJpegPath(path)) {
        const std::string problem = JpegMetadataProblem(metadata);
        if (!problem.empty()) {
            notes.push_back("a JPEG cannot hold it: " + problem);
            metadata.exif.clear();
            metadata.xmp.clear();
        }
    }
    saveNotes.clear();
    for (const std::string& note : notes)
        saveNotes.push_back(Tr("The panorama's file is written without part of its metadata: ") + note + ".");
    return metadata;
}
