#include "dialogs/AutomaticParametersDialog.h"

#include <QPushButton>
#include <QSignalBlocker>

#include "engine/PanoramaEngine.h"
#include "ui_AutomaticParametersForm.h"

AutomaticParametersDialog::AutomaticParametersDialog(PanoramaEngine& parameters, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::AutomaticParametersForm>()), engine(parameters) {
    ui->setupUi(this);
    for (const Editor& e : Editors()) {
        const QSignalBlocker blocker(e.box);
        e.box->setRange(Parameter(e.id).minimum, Parameter(e.id).maximum);
    }
    LoadValues();
    connect(ui->m_extractionImageSizeDSpinBox, &QDoubleSpinBox::valueChanged, this,
            &AutomaticParametersDialog::OnFeatureExtractionImageSize);
    connect(ui->m_maxNofPointsDSpinBox, &QDoubleSpinBox::valueChanged, this,
            &AutomaticParametersDialog::OnFeatureExtractionMaxNofPoints);
    connect(ui->m_spacingDSpinBox, &QDoubleSpinBox::valueChanged, this,
            &AutomaticParametersDialog::OnFeatureExtractionSpacing);
    connect(ui->m_matchingRadiusDSpinBox, &QDoubleSpinBox::valueChanged, this,
            &AutomaticParametersDialog::OnFeatureMatchingRadius);
    connect(ui->m_ransacThresholdDSpinBox, &QDoubleSpinBox::valueChanged, this,
            &AutomaticParametersDialog::OnFeatureMatchingRansacThreshold);
    connect(ui->m_setDefaultsPushButton, &QPushButton::released, this, &AutomaticParametersDialog::OnSetDefaults);
    connect(ui->m_buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // Cancel closes too; the values written so far stay in effect.
    connect(ui->m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AutomaticParametersDialog::~AutomaticParametersDialog() = default;

std::vector<AutomaticParametersDialog::Editor> AutomaticParametersDialog::Editors() const {
    return {
        {ui->m_maxNofPointsDSpinBox, kFeatureExtractionMaxNofPoints},
        {ui->m_spacingDSpinBox, kFeatureExtractionSpacing},
        {ui->m_extractionImageSizeDSpinBox, kFeatureExtractionImageSize},
        {ui->m_matchingRadiusDSpinBox, kFeatureMatchingRadius},
        {ui->m_ransacThresholdDSpinBox, kFeatureMatchingRansacThreshold},
    };
}

void AutomaticParametersDialog::LoadValues() {
    for (const Editor& e : Editors()) {
        const QSignalBlocker blocker(e.box);
        e.box->setValue(engine.GetParameter(e.id));
    }
}

// The working size is a whole number of pixels: a value the box shows rounded is only a
// change when the number differs.
void AutomaticParametersDialog::OnFeatureExtractionImageSize(double value) {
    const int size = static_cast<int>(value);
    if (size != engine.GetFeatureExtractionImageSize())
        engine.SetFeatureExtractionImageSize(size);
}

void AutomaticParametersDialog::OnFeatureExtractionMaxNofPoints(double value) {
    engine.SetFeatureExtractionMaxNofPoints(static_cast<int>(value));
}

void AutomaticParametersDialog::OnFeatureExtractionSpacing(double value) { engine.SetFeatureExtractionSpacing(value); }

void AutomaticParametersDialog::OnFeatureMatchingRadius(double value) { engine.SetFeatureMatchingRadius(value); }

void AutomaticParametersDialog::OnFeatureMatchingRansacThreshold(double value) {
    engine.SetFeatureMatchingRansacThreshold(value);
}

void AutomaticParametersDialog::OnSetDefaults() {
    engine.SetDefaultMatchingParameters();
    LoadValues();
}
