#pragma once

#include <QDialog>

#include <memory>

#include "dialogs/TextureLimitRange.h"

namespace Ui {
class ImageViewSettingsForm;
}

// Edits the window's image-view settings in place: the largest texture sides for the source
// images, the selected image pair, the stitched and the cropped panorama, and the size and
// thickness of the point markers. Every change is written at once; Cancel closes without
// undoing anything. None of the pointers may be null.
class ImageViewSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ImageViewSettingsDialog(int* sourceImages, int* imagePair, int* stitchImage, int* cropImage, int* markerSize,
                            int* markerThickness, QWidget* parent = nullptr);
    ~ImageViewSettingsDialog() override;

    // Default texture sides of "Set defaults"; the marker values stay as they are.
    static constexpr int kDefaultSourceImages = 512;
    static constexpr int kDefaultImagePair = 1024;
    static constexpr int kDefaultStitchImage = 1024;
    static constexpr int kDefaultCropImage = 2048;

public slots:
    void OnSetDefaultValues();
    void OnSourceImagesMaxTextureSize(int value);
    void OnImagePairMaxTextureSize(int value);
    void OnStitchImageMaxTextureSize(int value);
    void OnCropImageMaxTextureSize(int value);
    void OnMarkerSize(int value);
    void OnMarkerThickness(int value);

private:
    // Shows the current values without writing them back (a box clamps a value outside its
    // range, which must not change the setting behind the user's back).
    void LoadValues();

    std::unique_ptr<Ui::ImageViewSettingsForm> ui;
    int* sourceImages;
    int* imagePair;
    int* stitchImage;
    int* cropImage;
    int* markerSize;
    int* markerThickness;
};
