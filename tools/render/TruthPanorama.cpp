#include "render/TruthPanorama.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/ParallelFor.h"

namespace render {

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

struct Registered {
    const ViewSpec* view;
    const CameraEntry* entry;
};

const ViewSpec& TrueViewOf(const std::vector<RenderedView>& truth, const CameraEntry& entry) {
    const std::string name = FileNameOf(entry.path);
    const ViewSpec* found = nullptr;
    for (const RenderedView& v : truth) {
        if (FileNameOf(v.file) != name)
            continue;
        if (found)
            throw TruthError("two ground-truth views are named " + name);
        found = &v.spec;
    }
    if (!found)
        throw TruthError("image " + entry.path + " is not among the ground-truth views");
    if (found->width != entry.width || found->height != entry.height)
        throw TruthError("image " + entry.path + " has another size than its ground-truth view");
    return *found;
}

std::vector<Registered> RegisteredImages(const std::vector<RenderedView>& truth, const CamerasFile& cameras) {
    std::vector<Registered> out;
    for (const CameraEntry& e : cameras.images)
        if (e.registered)
            out.push_back({&TrueViewOf(truth, e), &e});
    if (out.empty())
        throw TruthError("the cameras file has no registered image");
    return out;
}

// Each registered image gives one estimate of the panorama frame's orientation in the world;
// the rotation nearest to their sum is the least-squares compromise.
Mat3 WorldFromPanorama(const std::vector<Registered>& images, double* spreadDegrees) {
    Mat3 sum{};
    std::vector<Mat3> estimates;
    for (const Registered& r : images) {
        estimates.push_back(Multiply(WorldFromCamera(*r.view), Transposed(r.entry->rotation)));
        for (int k = 0; k < 9; ++k)
            sum[k] += estimates.back()[k];
    }
    Mat3 mean;
    if (!NearestRotation(sum, &mean))
        throw TruthError("the registered images' rotations disagree too much to define one panorama frame");
    *spreadDegrees = 0;
    for (const Mat3& e : estimates)
        *spreadDegrees = std::max(*spreadDegrees, AngleBetweenRotations(e, mean));
    return mean;
}

// A perfectly corrected stitch shows every image at one exposure: the stitch's correction of
// image i composed with its true exposure, the same for all i; the mean is the best guess.
void Exposure(const std::vector<Registered>& images, double gain[3], double offset[3]) {
    for (int c = 0; c < 3; ++c) {
        gain[c] = offset[c] = 0;
        for (const Registered& r : images) {
            gain[c] += r.entry->gain[c] * r.view->gain;
            offset[c] += r.entry->gain[c] * r.view->offset + r.entry->offset[c];
        }
        gain[c] /= static_cast<double>(images.size());
        offset[c] /= static_cast<double>(images.size());
    }
}

// Panorama pixel -> ray in the panorama frame.
class PanoramaRays {
public:
    explicit PanoramaRays(const CamerasFile& cameras) : kind(cameras.projection) {
        if (!Invert(cameras.transform, &fromPixels))
            throw TruthError("the panorama transform is singular");
        if (kind == ProjectionKind::Planar) {
            if (!Invert(cameras.planarK, &inverseK))
                throw TruthError("the planar K is singular");
            panoramaFromVirtual = Transposed(cameras.planarR);
        }
    }

    bool Ray(double u, double v, Vec3* d) const {
        Vec3 p = Apply(fromPixels, {u, v, 1});
        if (std::fabs(p.z) < 1e-300)
            return false;
        double a = p.x / p.z, b = p.y / p.z;
        switch (kind) {
        case ProjectionKind::Cylindrical: *d = {std::sin(a), b, std::cos(a)}; return true;
        case ProjectionKind::Spherical:
            *d = {std::sin(a) * std::cos(b), std::sin(b), std::cos(a) * std::cos(b)};
            return true;
        case ProjectionKind::Planar: {
            // K R d and -K R d give the same projection point; the ray is the one in front
            // of the virtual camera.
            Vec3 q = Apply(inverseK, {a, b, 1});
            if (q.z < 0)
                q = {-q.x, -q.y, -q.z};
            *d = Apply(panoramaFromVirtual, q);
            return true;
        }
        }
        return false;
    }

private:
    ProjectionKind kind;
    Mat3 fromPixels{};
    Mat3 inverseK{};
    Mat3 panoramaFromVirtual{};
};

// Does a true photograph see the panorama-frame ray?
struct Coverage {
    Mat3 cameraFromPanorama;
    double focal, cx, cy, xMax, yMax, margin;

    bool Sees(const Vec3& d) const {
        Vec3 c = Apply(cameraFromPanorama, d);
        if (c.z <= 1e-12)
            return false;
        double x = cx + focal * c.x / c.z, y = cy + focal * c.y / c.z;
        return x >= margin && y >= margin && x <= xMax - margin && y <= yMax - margin;
    }
};

CropWindow OutputWindow(const CamerasFile& cameras, const TruthOptions& options) {
    CropWindow full{0, 0, cameras.panoramaWidth, cameras.panoramaHeight};
    if (!options.crop)
        return full;
    if (!cameras.crop)
        throw TruthError("the cameras file has no crop window");
    const CropWindow& c = *cameras.crop;
    if (c.left < 0 || c.top < 0 || c.left + c.width > full.width || c.top + c.height > full.height)
        throw TruthError("the crop window reaches outside the panorama");
    return c;
}

uint8_t ToByte(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

// The angle between the rays of two neighbouring panorama pixels at the panorama's origin of
// angles, in radians (the projections' pixels are of one angular size along their equator).
double PixelAngle(const PanoramaRays& rays, const CamerasFile& cameras) {
    Vec3 origin, next;
    const Vec3 centre = Apply(cameras.transform, {0, 0, 1});
    if (std::fabs(centre.z) < 1e-300)
        return 0;
    const double u = centre.x / centre.z, v = centre.y / centre.z;
    if (!rays.Ray(u, v, &origin) || !rays.Ray(u + 1, v, &next))
        return 0;
    const double dot = origin.x * next.x + origin.y * next.y + origin.z * next.z;
    const double cross = std::hypot(origin.y * next.z - origin.z * next.y, origin.z * next.x - origin.x * next.z,
                                    origin.x * next.y - origin.y * next.x);
    return std::atan2(cross, dot);
}

// The world seen by panorama pixel (u, v): its ray d alone, or the average of n x n rays over
// the pixel's area.
void SamplePixel(const World& world, const PanoramaRays& rays, const Mat3& worldFromPanorama, int u, int v, int n,
                 const Vec3& d, double rgb[3]) {
    if (n <= 1) {
        world.Sample(Apply(worldFromPanorama, d), rgb);
        return;
    }
    rgb[0] = rgb[1] = rgb[2] = 0;
    int count = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            Vec3 ray;
            if (!rays.Ray(u + (i + 0.5) / n - 0.5, v + (j + 0.5) / n - 0.5, &ray))
                continue;
            double sample[3];
            world.Sample(Apply(worldFromPanorama, ray), sample);
            for (int c = 0; c < 3; ++c)
                rgb[c] += sample[c];
            ++count;
        }
    if (count == 0) {
        world.Sample(Apply(worldFromPanorama, d), rgb);
        return;
    }
    for (int c = 0; c < 3; ++c)
        rgb[c] /= count;
}

}  // namespace

TruthPanorama RenderGroundTruthPanorama(const World& world, const std::vector<RenderedView>& truth,
                                        const CamerasFile& cameras, const TruthOptions& options) {
    std::vector<Registered> images = RegisteredImages(truth, cameras);
    TruthPanorama out;
    out.registeredImages = static_cast<int>(images.size());
    out.worldFromPanorama = WorldFromPanorama(images, &out.spreadDegrees);
    Exposure(images, out.gain, out.offset);
    const PanoramaRays rays(cameras);
    std::vector<Coverage> coverage;
    for (const Registered& r : images) {
        const ViewSpec& v = *r.view;
        coverage.push_back({Multiply(Transposed(WorldFromCamera(v)), out.worldFromPanorama), v.focal, v.width / 2.0,
                            v.height / 2.0, v.width - 1.0, v.height - 1.0, options.margin});
    }
    const CropWindow window = OutputWindow(cameras, options);
    // The photographs average their pixels' areas; so does the truth, by the same rule.
    const int raysPerSide = RaysPerSide(world.Width() / (2 * std::numbers::pi) * PixelAngle(rays, cameras));
    out.image = ImgRGB(window.width, window.height);
    out.mask = ImgUCHAR(window.width, window.height);
    // Rows are independent: two cores take half the panorama each.
    ParallelRows(RowBands(window.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            Rgb* row = out.image.Row(y);
            uint8_t* maskRow = out.mask.Row(y);
            for (int x = 0; x < window.width; ++x) {
                Vec3 d;
                bool seen = rays.Ray(x + window.left, y + window.top, &d) &&
                            std::any_of(coverage.begin(), coverage.end(), [&](const Coverage& c) { return c.Sees(d); });
                maskRow[x] = seen ? 255 : 0;
                row[x] = Rgb{0, 0, 0};
                if (!seen)
                    continue;
                double rgb[3];
                SamplePixel(world, rays, out.worldFromPanorama, x + window.left, y + window.top, raysPerSide, d, rgb);
                row[x] = Rgb{ToByte(rgb[2] * out.gain[2] + out.offset[2]), ToByte(rgb[1] * out.gain[1] + out.offset[1]),
                             ToByte(rgb[0] * out.gain[0] + out.offset[0])};
            }
        }
    });
    return out;
}

}  // namespace render
