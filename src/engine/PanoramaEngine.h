#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/EngineFailure.h"
#include "engine/ImageRecord.h"
#include "engine/ProjectParameters.h"
#include "engine/StageTimes.h"
#include "image/ImgTypes.h"
#include "image/PhotographSource.h"
#include "image/RowImageWriter.h"
#include "linalg/CMatrix.h"
#include "linalg/RectD.h"
#include "matching/HierarchyNode.h"
#include "matching/ImageCombination.h"
#include "stitching/BrightnessGradient.h"
#include "stitching/Camera.h"
#include "stitching/CropPanorama.h"
#include "stitching/Projection.h"
#include "xml/Chars.h"

struct ImageFeatureSettings;
struct ImageFeatures;
struct CameraFitInput;
struct CameraFitResult;

#define VEDORA_STRING_OF(x) #x
#define VEDORA_STRING(x) VEDORA_STRING_OF(x)

class FullResolutionImages;
class PanoramaCanvas;
struct StitchedPanorama;
namespace stitch {
class PanoramaOutput;
}

namespace Zelvo {
class XmlDocument;
class XmlElement;
}  // namespace Zelvo

// The fitted pure rotation of a pair and its transfers between the two images.
struct PairFitResult {
    double f = 0, omega = 0, phi = 0, kappa = 0;
    CMatrix forward;   // first image -> second
    CMatrix backward;  // second -> first
};

// One image placed by GroupLayout.
struct PlacedImage {
    int image;
    double x, y;
};

// The texts a long operation logs around its work; null entries are not logged. A null
// outOfMemory or unknown lets that kind of exception pass to the caller.
struct OperationTexts {
    // The texts both matching commands log when memory runs out or something unknown breaks.
    static OperationTexts Matching(const char* messageFormat, const char* failed) {
        OperationTexts texts;
        texts.outOfMemory = "\nNot enouch memory to finish automatic matching!\n";
        texts.messageFormat = messageFormat;
        texts.unknown = "\nCould not finish automatic matching because of an unknown error!\n";
        texts.failed = failed;
        return texts;
    }

    const char* heading = nullptr;
    const char* done = nullptr;
    const char* failed = nullptr;
    const char* outOfMemory = nullptr;
    // A format with one %s for the thrown message; null logs the message as it is.
    const char* messageFormat = nullptr;
    const char* unknown = nullptr;
};

// Holds the open panorama project and runs every long operation on it. Headless: it reports
// through the log and status hooks, which return true when the user asked to abort, and
// through the numeric progress hook.
//
// The project data is private: read it through the const accessors and change it through the
// operations below, which keep the dirty flag and the overlap hierarchy in step.
//
// Failures: operations with a bool result leave the reason in LastError() and its kind in
// LastFailure(). Members that may throw say so; every other member only throws
// std::bad_alloc.
class PanoramaEngine {
public:
    // Takes UTF-8 text; returns "abort requested".
    using TextHook = std::function<bool(const char* utf8)>;
    // Step (1-based) and total of the running operation's current stage.
    using ProgressHook = std::function<void(int step, int total)>;

    // The pair table grows with the square of the image count (about 390 bytes a pair: 1000
    // photographs take 200 MB, 3000 take 1.8 GB); larger projects are refused.
#define VEDORA_MAX_IMAGES 3000
    static constexpr int kMaxImages = VEDORA_MAX_IMAGES;
    static constexpr const char* kTooManyImages =
        "A project can hold at most " VEDORA_STRING(VEDORA_MAX_IMAGES) " photographs";

    PanoramaEngine();
    PanoramaEngine(PanoramaEngine&&);
    PanoramaEngine& operator=(PanoramaEngine&&);
    ~PanoramaEngine();

    // --- Hooks -------------------------------------------------------------------------------
    void SetLogHook(TextHook hook) { logHook = std::move(hook); }
    void SetStatusHook(TextHook hook) { statusHook = std::move(hook); }
    void SetProgressHook(ProgressHook hook) { progressHook = std::move(hook); }
    bool Log(const char* utf8) const { return logHook ? logHook(utf8) : false; }
    bool Log(const std::string& utf8) const { return Log(utf8.c_str()); }
    bool Status(const char* utf8) const { return statusHook ? statusHook(utf8) : false; }
    bool Status(const std::string& utf8) const { return Status(utf8.c_str()); }
    // Where the running operation stands; (0, 0) between stages.
    int ProgressStep() const { return progressStep; }
    int ProgressTotal() const { return progressTotal; }

    // --- Reading the project -----------------------------------------------------------------
    int ImageCount() const { return static_cast<int>(images.size()); }
    // index must lie in 0 .. ImageCount() - 1.
    const ImageRecord& Image(int index) const { return images[static_cast<size_t>(index)]; }
    std::span<const ImageRecord> Images() const { return images; }
    // The pair of images a and b in either order; null when there is no such pair.
    const ImageCombination* Combination(int a, int b) const;
    std::span<const ImageCombination> Combinations() const { return combinations; }
    // Pair index of images a and b in either order; -1 when a == b or either is out of range.
    int CombinationIndex(int a, int b) const;
    int FindImage(const char* path) const;
    bool IsDirty() const { return dirty; }
    void SetDirty(bool value) { dirty = value; }

    // The overlap hierarchy; null trees and empty lists while there is none.
    int ReferenceIndex() const { return referenceIndex; }
    const Zelvo::Chars& GetReferenceImagePath() const { return referenceImagePath; }
    const HierarchyNode* MainTree() const { return mainTree.get(); }
    const HierarchyNode* TransitionTree() const { return transitionTree.get(); }
    // The tree grown from one image (grown when first asked for); null while there is no
    // hierarchy. ImageTreeSize() is its node count without growing it.
    const HierarchyNode* ImageTree(int image) const;
    int ImageTreeSize(int image) const;
    const std::vector<Camera>& CameraList() const { return cameraList; }
    const std::vector<Camera>& ClosingCameraList() const { return closingCameraList; }
    // What the last fits said of themselves: the camera fit's rms in pixels and the turn that
    // levelled its horizon (radians), the photometric fit's rms in 8-bit levels (negative
    // when none ran).
    double CameraFitResidual() const { return cameraFitResidual; }
    // The camera fit meets every matched pair (true, the default) or only the hierarchy's edges,
    // as it first worked; the pairs the last fit left out as disagreeing with the others.
    void SetFitAllPairs(bool all) { fitAllPairs = all; }
    // Automatic matching matches every pair in full however many photographs there are (true),
    // or beyond kMatchEveryPairUpTo photographs only the likely ones (false, the default).
    void SetMatchEveryPair(bool every) { matchEveryPair = every; }
    static constexpr int kMatchEveryPairUpTo = 30;
    bool GetFitAllPairs() const { return fitAllPairs; }
    const std::vector<std::pair<int, int>>& FitPairsLeftOut() const { return fitPairsLeftOut; }
    double HorizonCorrection() const { return horizonCorrection; }
    double PhotometricResidual() const { return photometricResidual; }
    // How long each stage of the work took since the project was opened.
    const StageTimes& Stages() const { return stageTimes; }
    // The focal length photograph image's camera recorded, in pixels of the photograph; 0: none.
    double RecordedFocalLength(int image) const;
    // One position per CameraList() entry, from the hierarchy's translation-only layout.
    const std::vector<PointD>& LayoutPositions() const { return layoutPositions; }
    const CMatrix& PanoramaTransform() const { return panoramaTransform; }
    const CMatrix& PanoramaTransformInverse() const { return panoramaTransformInverse; }

    // Why the last operation with a bool result failed.
    const std::string& LastError() const { return lastError; }
    EngineFailure LastFailure() const { return lastFailure; }

    // --- Parameters --------------------------------------------------------------------------
    double GetParameter(ParameterId id) const { return parameters[id]; }
    // Sets the dirty flag only when the value changes; no range check (the editors and the
    // file reader keep values in range).
    void SetParameter(ParameterId id, double value);
    void SetDefaultMatchingParameters();
    void SetDefaultStitchParameters();

    int GetFeatureExtractionImageSize() const { return Int(kFeatureExtractionImageSize); }
    void SetFeatureExtractionImageSize(int v) { SetParameter(kFeatureExtractionImageSize, v); }
    double GetFeatureExtractionSpacing() const { return parameters[kFeatureExtractionSpacing]; }
    void SetFeatureExtractionSpacing(double v) { SetParameter(kFeatureExtractionSpacing, v); }
    int GetFeatureExtractionMaxNofPoints() const { return Int(kFeatureExtractionMaxNofPoints); }
    void SetFeatureExtractionMaxNofPoints(int v) { SetParameter(kFeatureExtractionMaxNofPoints, v); }
    double GetFeatureMatchingRadius() const { return parameters[kFeatureMatchingRadius]; }
    void SetFeatureMatchingRadius(double v) { SetParameter(kFeatureMatchingRadius, v); }
    double GetFeatureMatchingRansacThreshold() const { return parameters[kFeatureMatchingRansacThreshold]; }
    void SetFeatureMatchingRansacThreshold(double v) { SetParameter(kFeatureMatchingRansacThreshold, v); }
    int GetProjectionType() const { return Int(kProjectionType); }
    void SetProjectionType(int v) { SetParameter(kProjectionType, v); }
    void SetProjectionType(ProjectionType type) { SetProjectionType(static_cast<int>(type)); }
    // The surface of the projection type; throws "Unknown projection" for a code that names none.
    const Projection& GetProjection() const;
    int GetPhotometricCorrectionType() const { return Int(kPhotometricCorrectionType); }
    void SetPhotometricCorrectionType(int v) { SetParameter(kPhotometricCorrectionType, v); }
    double GetVerticalCameraRotation() const { return parameters[kVerticalCameraRotation]; }
    void SetVerticalCameraRotation(double radians) { SetParameter(kVerticalCameraRotation, radians); }
    double GetCorrectionLimit() const { return parameters[kCorrectionLimit]; }
    void SetCorrectionLimit(double v) { SetParameter(kCorrectionLimit, v); }
    bool GetDoCrop360Degrees() const { return parameters[kDoCrop360Degrees] != 0; }
    void SetDoCrop360Degrees(bool v) { SetParameter(kDoCrop360Degrees, v ? 1 : 0); }
    bool GetDoGammaCorrection() const { return parameters[kDoGammaCorrection] != 0; }
    void SetDoGammaCorrection(bool v) { SetParameter(kDoGammaCorrection, v ? 1 : 0); }
    double GetGamma() const { return parameters[kGamma]; }
    void SetGamma(double v) { SetParameter(kGamma, v); }
    int GetPanoramaImageSize() const { return Int(kPanoramaImageSize); }
    void SetPanoramaImageSize(int v) { SetParameter(kPanoramaImageSize, v); }
    int GetPanoramaPreviewImageSize() const { return Int(kPanoramaPreviewImageSize); }
    void SetPanoramaPreviewImageSize(int v) { SetParameter(kPanoramaPreviewImageSize, v); }
    double GetPanoramaImageRotation() const { return parameters[kPanoramaImageRotation]; }
    void SetPanoramaImageRotation(double radians) { SetParameter(kPanoramaImageRotation, radians); }
    int GetSourceImageRotation() const { return Int(kSourceImageRotation); }

    // Fixed values: neither a file nor the user changes them.
    int GetBlendWidth() const { return blendWidth; }
    bool GetUseGradientBlending() const { return useGradientBlending; }
    bool GetFitSharedVignetting() const { return fitSharedVignetting; }

    // --- Changing the project ----------------------------------------------------------------
    // A new, empty project.
    void Reset();
    // Drops every pair's matching and makes the n(n - 1)/2 empty pairs of the image list.
    void RebuildCombinations();
    // Takes the image list over from the project document, keeping the pairs whose images
    // both survive. Throws "Missing image attribute" (leaving the project as it was) when an
    // Image lacks its path or size.
    void SyncImages(Zelvo::XmlDocument& document);
    // Turns the stored points of every pair to the new source image rotation (0..3).
    void RotateSourceImages(int rotation);
    // The user's choice of reference image; the hierarchy keeps it only when that image has a
    // matched pair.
    void SetReferenceImagePath(const Zelvo::Chars& path);
    // Manual points of one pair, in the caller's image order (a first, b second): see the
    // comments of PairMatching.cpp for the rules.
    bool SetCombinationPoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb);
    void ClearCombinationPoints(int a, int b);
    void GetCombinationPoints(int a, int b, std::vector<PointD>& Pa, std::vector<PointD>& Pb) const;
    // True when nothing has to be saved.
    bool ComparePoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb) const;
    void GetFeaturePoints(int index, std::vector<PointD>& out) const;

    // --- Long operations ---------------------------------------------------------------------
    // The project's photographs as the stages decode them (paths and the source rotation).
    PhotographSource Photographs() const;
    // Loads image index, reduces it to the working size, detects points and descriptors.
    // Throws "\nCould not load a image!\n" (LastError() names the file) when it cannot be read.
    void ExtractImageFeatures(int index);
    // The extraction loop of the long operations, with progress and abort. Throws the
    // messages of ExtractImageFeatures and "\nAborted!\n".
    void ExtractFeaturesOfAllImages();
    ImageFeatureSettings FeatureSettings() const;
    // Keeps one photograph's extraction in its record (and its gray image for the refinement);
    // throws as ExtractImageFeatures when the photograph could not be read.
    void StoreImageFeatures(int index, ImageFeatures&& features);

    // Pair fitting. The genetic search is seeded from the clock unless a seed is set.
    void SetGeneticSeed(int32_t seed) { geneticSeed = seed; }
    PairFitResult FitPair(int i, int j, const std::vector<PointD>& P, const std::vector<PointD>& Q) const;
    // Stores a fit in the pair: parameters, transforms, error and the matched flag.
    static void StorePairFit(ImageCombination& pair, const PairFitResult& fit);

    // Automatic matching of every pair; false when a message was thrown (it is logged).
    bool ExtractAndMatchFeatures();
    // Every pair up to kMatchEveryPairUpTo photographs (or where asked), else the pairs a quick
    // vote ranks best and those their rotations predict to overlap.
    void MatchPairsOfAllImages();
    // Descriptor matching, RANSAC and the pair fit of these combinations, with progress.
    void MatchAndFitPairs(const std::vector<int>& indices);
    // The automatic matching command. False when there are no images or the run failed (no
    // pair matched, a photograph could not be read, memory ran out, the user aborted): the
    // previous pairs and hierarchy are then back in force and LastFailure() says why.
    bool FindOverlappingImages();
    // Automatic matching of one pair, named in the caller's order.
    bool MatchImagePair(int a, int b);

    // The overlap hierarchy from the matched pairs; false where no pair matched.
    bool BuildOverlapHierarchyTrees();
    std::vector<int> FindImageGroups() const;
    // A project of its own for some of this project's photographs (indices, ascending): their
    // paths and sizes, the pairs between them as fitted, the parameters, the seed and the
    // reference, its overlap hierarchy built; nothing is matched or fitted again.
    PanoramaEngine GroupProject(const std::vector<int>& photographs) const;
    std::unique_ptr<Zelvo::XmlDocument> HierarchyDocument(const char* rootName) const;
    // Photographs of the project that the panorama leaves out (they overlap none of the
    // photographs of the main tree), in project order; empty while there is no main tree.
    std::vector<int> PhotographsLeftOut() const;
    // The line the log and the command line show for them; empty when none is left out.
    std::string LeftOutMessage() const;
    void GroupLayout(std::vector<PlacedImage>& placed, std::vector<int>& unplaced) const;

    // Sub-pixel refinement of every pair's inliers at full resolution before the pair fit (on
    // by default; off reproduces matching at the working size alone). Never stored.
    void SetRefineCorrespondences(bool on) { refineCorrespondences = on; }
    bool GetRefineCorrespondences() const { return refineCorrespondences; }

    // --- Stitching ---------------------------------------------------------------------------
    // Fits one shared focal length and every camera's rotation to the hierarchy's points, then
    // straightens the cameras and gives them their panorama rotations. False (logged) when
    // there is nothing to fit or the fit fails; both camera lists are then empty.
    bool FitCameras();
    // The camera fit, then the panorama transform for a panorama whose longer side is size
    // pixels, the panorama's rectangle and every image's. False (logged) when it cannot.
    bool InitStitchGeometry(int size);
    // The longer side at which one panorama pixel spans about one source pixel at the image
    // centres (the focal length times the panorama's extent in projection units); 0 (with the
    // reason) when the cameras cannot be fitted. Leaves the geometry of a probe size.
    int NativeSize();
    // Source pixel to panorama pixel and back, for a camera of the last geometry.
    PointD ForwardMap(int type, const Camera& camera, double x, double y) const;
    PointD InverseMap(int type, const Camera& camera, double u, double v) const;
    // The panorama's rectangle in panorama pixels (the last geometry).
    const RectD& PanoramaRect() const { return panoramaRect; }
    // The quick look: every photograph resampled into the panorama at the preview size, one over
    // the other, into the kept panorama (see StitchPanorama). False with the reason logged.
    bool PreviewStitch();
    // The same, then the whole preview into target (emptied first).
    bool PreviewStitch(ImgRGB& target);
    // The final stitch into the panorama the engine keeps until the next stitch or Reset(): in
    // tiles of at most MemoryBudget() / 2 bytes in memory, the rest in a temporary file. False
    // with the reason logged and in LastError(); no panorama is kept then.
    bool StitchPanorama();
    // The same, then the whole panorama into stitched, its automatic crop into cropped, and
    // that crop's rectangle (panorama pixels) into cropRectangle, all at full resolution.
    bool StitchPanorama(ImgRGB& stitched, ImgRGB& cropped, RectD& cropRectangle);
    // The memory the final stitch's panorama and the photograph being blended may take; the
    // temporary file's folder (empty: TMPDIR, else /tmp).
    static constexpr size_t kDefaultMemoryBudget = size_t(1024) << 20;
    void SetMemoryBudget(size_t bytes) { memoryBudget = bytes; }
    size_t MemoryBudget() const { return memoryBudget; }
    void SetScratchFolder(const std::string& folder) { scratchFolder = folder; }

    // --- The kept panorama -------------------------------------------------------------------
    bool HasPanorama() const { return stitchedPanorama != nullptr; }
    int PanoramaWidth() const;
    int PanoramaHeight() const;
    // Its automatic crop in panorama pixels; empty without a panorama.
    RectD AutomaticCrop() const;
    // What a crop rectangle (panorama pixels) cuts from it, by CropPanorama's rules.
    stitch::CropFrame PanoramaFrame(const RectD& rect) const;
    // The crop of rect as an image, reduced by a whole factor so that neither side passes maxSide
    // (0: full resolution). False (with the reason) without a panorama or when memory runs out.
    bool PanoramaImage(const RectD& rect, int maxSide, ImgRGB& image);
    // The crop of rect written into path, band by band in the format its suffix names; the old
    // file stays until the new one is complete, and whenever keep() says false. False with the
    // reason in LastError() (LastFailure() Aborted for an interrupted write).
    // What the last SavePanorama left out of the file's metadata and why, a sentence each, for
    // the caller to show after its own report of the save.
    const std::vector<std::string>& SaveNotes() const { return saveNotes; }
    bool SavePanorama(const std::string& path, const RectD& rect, const RowWriterOptions& options,
                      const std::function<bool()>& keep = {});
    void DropPanorama();
    // Gains, offsets and the shared vignetting of every fitted camera, so that overlapping
    // photographs agree. Runs inside an operation: an abort throws like every tick does;
    // false when the stage could not finish otherwise.
    bool FitPhotometricCorrection();
    // Cuts rect out of a stitched panorama (one turn wide and blended across the wrap for a
    // closed panorama with doCrop360Degrees); false (logged) when memory runs out.
    bool CropPanorama(const ImgRGB& source, ImgRGB& target, const RectD& rect);
    // The width of one full turn in panorama pixels; 0 unless the images close a circle.
    int Width360() const;

    // --- The project file's Panorama element -------------------------------------------------
    bool WriteTo(Zelvo::XmlDocument& document, const char* name);
    // False with LastError() ("Bad image attribute", "Bad image combination", ...) and a new,
    // empty project when the element cannot be used.
    bool ReadFrom(Zelvo::XmlDocument& document, const char* name);

private:
    friend class EngineFixture;  // tests/support: builds engines in states the tests need

    int Int(ParameterId id) const { return static_cast<int>(parameters[id]); }
    ImageCombination& Pair(int a, int b) { return combinations[static_cast<size_t>(CombinationIndex(a, b))]; }

    // The runner of every long operation: logs the heading, runs body, and on success logs the
    // done text. Any exception thrown by body is caught here (as OperationTexts says), logged
    // and recorded in LastError()/LastFailure(); then the failed text is logged and restore
    // puts back what the operation promises to leave unchanged. A body that returns false has
    // recorded its own failure.
    bool RunOperation(const OperationTexts& texts, const std::function<bool()>& body,
                      const std::function<void()>& restore);
    void ClearFailure();
    // A message thrown inside an operation, logged as its texts say.
    void LogThrown(const OperationTexts& texts, const char* message);
    void RecordFailure(EngineFailure kind, const std::string& message);
    // A stage's failure, its reason without the line breaks that frame it in the log.
    void RecordFailure(const StageResult& outcome);
    // The progress tick: logs "." and unwinds with "\nAborted!\n" when asked.
    void Tick();
    // Logs text and unwinds with "\nAborted!\n" when the hook asks for it.
    void CheckedLog(const std::string& text);
    // Announces step of total: the numbers to the progress hook, the text to the status hook.
    // Returns the status hook's "abort requested".
    bool Step(int step, int total, const std::string& statusText);
    [[noreturn]] void ThrowAborted();
    // Runs body; a photograph it cannot read is recorded (LastError() names the file) and
    // thrown on as "\nCould not load a image!\n", as the members that throw promise.
    void NamingUnreadable(const std::function<void()>& body);

    // The loop of ExtractFeaturesOfAllImages; throws UnreadablePhotograph.
    void ExtractFeaturesInTurn();
    // Matching of one pair: descriptors into P and Q, then RANSAC and the pair fit. The fit
    // returns false when RANSAC left no points.
    void MatchPairDescriptors(ImageCombination& pair) const;
    bool FitPairFromMatches(ImageCombination& pair);
    // FitPairFromMatches in three steps. RANSAC keeps the inliers of the homography H and
    // touches nothing but the pair. The second step needs the hooks and the shared
    // full-resolution photographs: the log line and the refinement from H (false when RANSAC
    // left no points; `refined` tells whether the points were refined). The third, the rotation
    // fit, touches nothing but the pair. The first and the third may run for several pairs at
    // once on different threads.
    void KeepRansacInliers(ImageCombination& pair, CMatrix& H) const;
    bool BeginPairFit(ImageCombination& pair, const CMatrix& H, bool& refined);
    void EndPairFit(ImageCombination& pair, bool refined);
    // The full-resolution photographs that refinement works on, held while matching runs.
    void BeginFullResolution();
    void EndFullResolution();
    // Holds the full-resolution photographs for the life of one matching operation.
    struct FullResolutionScope {
        explicit FullResolutionScope(PanoramaEngine& e) : engine(e) { engine.BeginFullResolution(); }
        ~FullResolutionScope() { engine.EndFullResolution(); }
        PanoramaEngine& engine;
    };
    bool RefinePairPoints(ImageCombination& pair, const CMatrix& H);
    void DropPointsOffTheFit(ImageCombination& pair);

    // Rebuilds the hierarchy for the mutators: an inconsistent 360-degree construction is
    // logged and leaves no hierarchy instead of unwinding into the caller.
    void RebuildHierarchy();
    void ClearOverlapHierarchy();
    int GrowTreeDepth(int image) const;

    // The geometry of InitStitchGeometry for another size, from the cameras of the last fit.
    bool SetStitchGeometry(int size);
    // NativeSize() from the geometry in force, made for size.
    int NativeSizeOfGeometry(int size) const;
    // The size a panorama of size (the geometry in force) is drawn at: never past its native
    // size, where a larger one holds no detail the photographs have; the output is enlarged.
    int RenderSize(int size) const;
    static RectD EnlargedCrop(const RectD& crop, double scale);
    void SetWorkingScales();
    void RenderStep(int step, int image, int count);
    void RenderImages(PanoramaCanvas& canvas);
    stitch::BrightnessGradientInput BrightnessInput() const;
    void LogDamagedMetadata();
    void LogFocalLengthOrigin(const CameraFitInput& input, const CameraFitResult& fit);
    void LogPairsLeftOut(const CameraFitResult& fit);
    std::string focalLengthNote;  // what the last fit said of the recorded focal length
    std::vector<std::string> saveNotes;
    double cameraFitResidual = 0;
    bool fitAllPairs = true;
    bool matchEveryPair = false;
    static constexpr int kMatchingRounds = 4;
    std::vector<std::pair<int, int>> fitPairsLeftOut;
    double horizonCorrection = 0;
    double photometricResidual = -1;
    StageTimes stageTimes;
    // The photograph the panorama is referred to, by its place in cameraList; -1 without cameras.
    int ReferenceCameraIndex() const;
    // Where the stitched panorama lies on the sphere and which photograph's metadata it carries.
    void PlaceOnSphere(StitchedPanorama& stitched) const;
    // The metadata of the file path that holds frame of the kept panorama; what is left out is
    // logged.
    EmbeddedMetadata FileMetadata(const std::string& path, const stitch::CropFrame& frame);
    // Runs body on the kept panorama's output for rect; false (recorded) without one or when
    // the canvas fails.
    bool WithOutput(const RectD& rect, int bitsPerChannel, const std::function<void(stitch::PanoramaOutput&)>& body);

    void SetFixedValues();
    void SetDefaults(ParameterGroup group);
    void WriteParameters(Zelvo::XmlElement* panorama) const;
    void ReadParameters(Zelvo::XmlElement* panorama);
    void ReadImages(Zelvo::XmlElement* panorama);
    void ReadCombinations(Zelvo::XmlElement* panorama);
    void FitPairsAtLoad();

    // The project.
    std::vector<ImageRecord> images;
    std::vector<ImageCombination> combinations;
    std::array<double, kParameterCount> parameters{};
    Zelvo::Chars referenceImagePath;
    bool dirty = true;

    // The overlap hierarchy (rebuilt from the pairs) and the stitch's cameras and geometry.
    mutable std::vector<std::unique_ptr<HierarchyNode>> imageTrees;  // grown on demand
    std::vector<std::vector<int>> pairsOfImage;                      // matched pairs, by image
    std::vector<int> treeSizes;                                      // node count of every image tree
    int referenceIndex = -1;
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
    std::unique_ptr<HierarchyNode> fittedMainTree;  // mainTree with the last camera fit's transfers
    std::vector<Camera> cameraList;
    std::vector<Camera> fittedCameraList;  // cameraList before a geometry composed it
    std::vector<Camera> closingCameraList;
    std::vector<PointD> layoutPositions;
    CMatrix panoramaTransform;
    CMatrix panoramaTransformInverse;
    RectD panoramaRect;
    std::unique_ptr<StitchedPanorama> stitchedPanorama;
    size_t memoryBudget = kDefaultMemoryBudget;
    std::string scratchFolder;

    // Fixed values.
    int blendWidth = 30;
    bool useGradientBlending = true;
    bool fitSharedVignetting = true;

    // Running operations.
    int32_t geneticSeed = 0;
    bool refineCorrespondences = true;
    std::unique_ptr<FullResolutionImages> fullResolution;
    std::string lastError;
    EngineFailure lastFailure = EngineFailure::None;
    int progressStep = 0;
    int progressTotal = 0;
    TextHook logHook;
    TextHook statusHook;
    ProgressHook progressHook;
};
