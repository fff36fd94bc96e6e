#pragma once

#include <functional>
#include <vector>

#include "image/ImgTypes.h"
#include "linalg/CMatrix.h"
#include "stitching/Camera.h"

// One edge of the overlap tree whose two photographs are compared: a non-root node of mainTree,
// taken in pre-order.
struct PhotometricEdge {
    int childCamera = 0;    // index into the camera list of the node's image
    int parentCamera = 0;   // index of its parent's image
    CMatrix parentToChild;  // the node's fromParent (refreshed from the fitted cameras): parent -> child pixels
    CMatrix childToParent;  // the image pair's own homography, child pixels -> parent pixels
};

struct PhotometricInput {
    int mode = 2;                 // 0 none, 1 colour ("color"), 2 gray; any other value fits nothing
    double correctionLimit = 20;  // percent; taken into 1..30
    std::vector<PhotometricEdge> edges;
    // Decodes the photograph of camera i as 8-bit RGB with the project's source rotation; false
    // when it cannot. It is called on worker threads, several photographs at once, so it must be
    // thread-safe: decode only, and leave reporting to loadFailed.
    std::function<bool(int camera, ImgRGB& image)> load;
    // The photographs' own widths by camera, for a load that reduces a photograph while
    // decoding it (to at least kPhotometricImageWidth wide): the copy's scale is then taken
    // against the own width. Empty: photographs load at their own size.
    std::vector<double> photographWidths;
    // Called on the calling thread for the first photograph in list order that load could not
    // decode, once the workers have stopped; meant to record the failure and throw. When it is
    // missing or returns, the fit throws "\nCould not load a image!\n".
    std::function<void(int camera)> loadFailed;
    // Called on the calling thread before each photograph's small copy starts, with (i + 1, count)
    // for the status text "Blurring: Image %d of %d"; returns true when the user asked to abort.
    std::function<bool(int step, int count)> blurring;
    // Called once before the fit for the status "Fitting photometric correction ...".
    std::function<void()> fitting;
    // Threads for the small copies: 0 one per core (at most one per photograph), 1 everything on
    // the calling thread. The result is the same either way. Each worker holds one full-size
    // photograph and one float channel of it (84 MB at 4000 x 3000).
    int threads = 0;
};

// What a fit did, for the log and for tests.
struct PhotometricFitSummary {
    int samples = 0;            // sample rows over all edges
    bool fitted = false;        // the fitted parameters were applied
    bool diverged = false;      // the optimiser ended on numbers that are not finite: reset values kept
    double residualStdDev = 0;  // the optimiser's quality (8-bit colour units)
    int iterations = 0;
};

// Fits the photometric fields of every camera (gains, offsets, shared vignetting about each image
// centre, taken from the camera's lens size) so that overlapping photographs agree, and writes
// them into cameras. Every camera is reset first (offset 0, gain 1, no vignetting); mode 0 stops
// there. Returns false only when the user aborted (cameras then reset). A fit without any usable
// sample, or one that diverges, leaves the reset values and still returns true: the stitch goes
// on uncorrected. Throws what loadFailed throws (or "\nCould not load a image!\n"), whatever
// load throws, and a const char* for an edge whose camera is out of range or whose transfers
// are not 3 x 3 (before anything is decoded).
bool FitPhotometricCorrection(std::vector<Camera>& cameras, const PhotometricInput& input,
                              PhotometricFitSummary* summary = nullptr);

// target (16-bit, resized to the source's size) := trunc((v * g_k + o_k) * V(x, y)) per channel.
// Values outside 0..255 are kept; only what a 16-bit channel cannot hold is limited to
// -32767..32767, so that no pixel turns into the empty-sample marker -32768.
void ApplyPhotometricCorrection(const Camera& camera, const ImgRGB& source, ImgRGBSHORT& target);
