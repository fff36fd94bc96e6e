// opencv-stitch: OpenCV's high-level Stitcher on the photographs named on the command line,
// the reference that bench/compare-opencv.sh times against vedora-stitch. Built by that
// script alone (g++ -O2 $(pkg-config --cflags --libs opencv4)); nothing of Vedora links it.
//
//   opencv-stitch -o PANORAMA IMAGE...
//
// cv::Stitcher::create(cv::Stitcher::PANORAMA) with every setting left as created. As its
// public getters report them (OpenCV 4.6, Debian's libopencv-dev):
//   registrationResol 0.6 Mpx    features, matching and the camera fit run on copies scaled
//                                down to about 0.6 megapixels;
//   seamEstimationResol 0.1 Mpx  the seams are searched on copies of about 0.1 megapixels;
//   compositingResol -1          (ORIG_RESOL) the panorama is warped and blended from the
//                                photographs at full resolution, so its scale is about one
//                                pixel per source pixel, as vedora-stitch --size native;
//   panoConfidenceThresh 1, wave correction on (horizontal), bilinear interpolation;
//   ORB features (500 points an image), BestOf2NearestMatcher, HomographyBasedEstimator,
//   BundleAdjusterRay, SphericalWarper (always a spherical panorama), BlocksGainCompensator,
//   GraphCutSeamFinder, MultiBandBlender (5 bands).
// cv::imwrite writes JPEG at its default quality (95). OpenCV's own worker threads are used
// as it sets them up (all cores).
#include <opencv2/imgcodecs.hpp>
#include <opencv2/stitching.hpp>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::string out;
    std::vector<cv::Mat> images;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc) {
            out = argv[++i];
            continue;
        }
        cv::Mat image = cv::imread(arg, cv::IMREAD_COLOR);
        if (image.empty()) {
            std::fprintf(stderr, "opencv-stitch: cannot read %s\n", arg.c_str());
            return 2;
        }
        images.push_back(image);
    }
    if (out.empty() || images.empty()) {
        std::fprintf(stderr, "usage: opencv-stitch -o PANORAMA IMAGE...\n");
        return 2;
    }
    cv::Ptr<cv::Stitcher> stitcher = cv::Stitcher::create(cv::Stitcher::PANORAMA);
    cv::Mat pano;
    try {
        cv::Stitcher::Status status = stitcher->stitch(images, pano);
        if (status != cv::Stitcher::OK) {
            static const char* const names[] = {"OK", "ERR_NEED_MORE_IMGS", "ERR_HOMOGRAPHY_EST_FAIL",
                                                "ERR_CAMERA_PARAMS_ADJUST_FAIL"};
            int s = static_cast<int>(status);
            std::fprintf(stderr, "opencv-stitch: stitching failed, status %d (%s)\n", s,
                         s >= 0 && s < 4 ? names[s] : "unknown");
            return 1;
        }
        if (!cv::imwrite(out, pano)) {
            std::fprintf(stderr, "opencv-stitch: cannot write %s\n", out.c_str());
            return 2;
        }
    } catch (const cv::Exception& e) {
        std::fprintf(stderr, "opencv-stitch: %s\n", e.what());
        return 1;
    }
    std::printf("%s: %dx%d, %zu of %zu images\n", out.c_str(), pano.cols, pano.rows, stitcher->component().size(),
                images.size());
    return 0;
}
