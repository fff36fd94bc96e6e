#include "dialogs/ImageViewSettingsDialog.h"

#include <QPushButton>
#include <utility>

#include "ui_ImageViewSettingsForm.h"
#include <QSignalBlocker>

ImageViewSettingsDialog::ImageViewSettingsDialog(int* source, int* pair, int* stitch, int* crop, int* size,
                                                 int* thickness, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ImageViewSettingsForm>()), sourceImages(source), imagePair(pair),
      stitchImage(stitch), cropImage(crop), markerSize(size), markerThickness(thickness) {
    ui->setupUi(this);
    for (QSpinBox* box :
         {ui->m_sourceImagesSpinBox, ui->m_imagePairSpinBox, ui->m_stitchImageSpinBox, ui->m_cropImageSpinBox})
        box->setRange(kMinTextureLimit, kMaxTextureLimit);
    LoadValues();
    connect(ui->m_sourceImagesSpinBox, &QSpinBox::valueChanged, this,
            &ImageViewSettingsDialog::OnSourceImagesMaxTextureSize);
    connect(ui->m_imagePairSpinBox, &QSpinBox::valueChanged, this, &ImageViewSettingsDialog::OnImagePairMaxTextureSize);
    connect(ui->m_stitchImageSpinBox, &QSpinBox::valueChanged, this,
            &ImageViewSettingsDialog::OnStitchImageMaxTextureSize);
    connect(ui->m_cropImageSpinBox, &QSpinBox::valueChanged, this, &ImageViewSettingsDialog::OnCropImageMaxTextureSize);
    connect(ui->m_markerSizeSpinBox, &QSpinBox::valueChanged, this, &ImageViewSettingsDialog::OnMarkerSize);
    connect(ui->m_markerThicknessSpinBox, &QSpinBox::valueChanged, this, &ImageViewSettingsDialog::OnMarkerThickness);
    connect(ui->m_setDefaultsPushButton, &QPushButton::released, this, &ImageViewSettingsDialog::OnSetDefaultValues);
    connect(ui->m_buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // Cancel closes too; the values written so far stay in effect.
    connect(ui->m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ImageViewSettingsDialog::~ImageViewSettingsDialog() = default;

void ImageViewSettingsDialog::LoadValues() {
    const std::pair<QSpinBox*, int*> boxes[] = {
        {ui->m_sourceImagesSpinBox, sourceImages}, {ui->m_imagePairSpinBox, imagePair},
        {ui->m_stitchImageSpinBox, stitchImage},   {ui->m_cropImageSpinBox, cropImage},
        {ui->m_markerSizeSpinBox, markerSize},     {ui->m_markerThicknessSpinBox, markerThickness},
    };
    for (const auto& [box, value] : boxes) {
        const QSignalBlocker blocker(box);
        box->setValue(*value);
    }
}

void ImageViewSettingsDialog::OnSetDefaultValues() {
    *sourceImages = kDefaultSourceImages;
    *imagePair = kDefaultImagePair;
    *stitchImage = kDefaultStitchImage;
    *cropImage = kDefaultCropImage;
    LoadValues();
}

void ImageViewSettingsDialog::OnSourceImagesMaxTextureSize(int value) { *sourceImages = value; }
void ImageViewSettingsDialog::OnImagePairMaxTextureSize(int value) { *imagePair = value; }
void ImageViewSettingsDialog::OnStitchImageMaxTextureSize(int value) { *stitchImage = value; }
void ImageViewSettingsDialog::OnCropImageMaxTextureSize(int value) { *cropImage = value; }
void ImageViewSettingsDialog::OnMarkerSize(int value) { *markerSize = value; }
void ImageViewSettingsDialog::OnMarkerThickness(int value) { *markerThickness = value; }
