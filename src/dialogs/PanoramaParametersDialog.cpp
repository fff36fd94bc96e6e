#include "dialogs/PanoramaParametersDialog.h"

#include <QSignalBlocker>

#include "engine/PanoramaEngine.h"
#include "ui_PanoramaParametersForm.h"

PanoramaParametersDialog::PanoramaParametersDialog(PanoramaEngine& e, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PanoramaParametersForm>()), engine(e) {
    ui->setupUi(this);
    LoadValues();
    Connect();
}

PanoramaParametersDialog::~PanoramaParametersDialog() = default;

void PanoramaParametersDialog::Connect() {
    using D = PanoramaParametersDialog;
    connect(ui->m_planeProjectionRadioButton, &QRadioButton::toggled, this, &D::OnPlaneProjection);
    connect(ui->m_cylinderProjectionRadioButton, &QRadioButton::toggled, this, &D::OnCylinderProjection);
    connect(ui->m_sphericalProjectionRadioButton, &QRadioButton::toggled, this, &D::OnSphericalProjection);
    connect(ui->m_colorPhotometricCorrectionRadioButton, &QRadioButton::toggled, this,
            &D::OnColorPhotometricCorrection);
    connect(ui->m_grayPhotometricCorrectionRadioButton, &QRadioButton::toggled, this, &D::OnGrayPhotometricCorrection);
    connect(ui->m_noPhotometricCorrectionRadioButton, &QRadioButton::toggled, this, &D::OnNoPhotometricCorrection);
    connect(ui->m_correctionLimitDSpinBox, &QDoubleSpinBox::valueChanged, this, &D::OnCorrectionLimit);
    connect(ui->m_contrastStretchingCheckBox, &QCheckBox::stateChanged, this, &D::OnEnableGammaCorrection);
    connect(ui->m_gammaDSpinBox, &QDoubleSpinBox::valueChanged, this, &D::OnGamma);
    connect(ui->m_verticalCameraRotationDSpinBox, &QDoubleSpinBox::valueChanged, this, &D::OnVerticalCameraRotation);
    connect(ui->m_setDefaultsPushButton, &QPushButton::released, this, &D::OnSetDefaultStitchValues);
    connect(ui->m_buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PanoramaParametersDialog::LoadValues() {
    const QSignalBlocker blockers[] = {
        QSignalBlocker(ui->m_planeProjectionRadioButton),
        QSignalBlocker(ui->m_cylinderProjectionRadioButton),
        QSignalBlocker(ui->m_sphericalProjectionRadioButton),
        QSignalBlocker(ui->m_colorPhotometricCorrectionRadioButton),
        QSignalBlocker(ui->m_grayPhotometricCorrectionRadioButton),
        QSignalBlocker(ui->m_noPhotometricCorrectionRadioButton),
        QSignalBlocker(ui->m_correctionLimitDSpinBox),
        QSignalBlocker(ui->m_contrastStretchingCheckBox),
        QSignalBlocker(ui->m_gammaDSpinBox),
        QSignalBlocker(ui->m_verticalCameraRotationDSpinBox),
    };
    switch (static_cast<ProjectionType>(engine.GetProjectionType())) {
    case ProjectionType::Planar: ui->m_planeProjectionRadioButton->setChecked(true); break;
    case ProjectionType::Cylindrical: ui->m_cylinderProjectionRadioButton->setChecked(true); break;
    case ProjectionType::Spherical: ui->m_sphericalProjectionRadioButton->setChecked(true); break;
    }
    switch (engine.GetPhotometricCorrectionType()) {
    case kPhotometricColor: ui->m_colorPhotometricCorrectionRadioButton->setChecked(true); break;
    case kPhotometricGray: ui->m_grayPhotometricCorrectionRadioButton->setChecked(true); break;
    default: ui->m_noPhotometricCorrectionRadioButton->setChecked(true); break;
    }
    ui->m_verticalCameraRotationDSpinBox->setValue(engine.GetVerticalCameraRotation() * kDegreesPerRadian);
    ui->m_correctionLimitDSpinBox->setValue(engine.GetCorrectionLimit());
    ui->m_contrastStretchingCheckBox->setChecked(engine.GetDoGammaCorrection());
    ui->m_gammaDSpinBox->setValue(engine.GetGamma());
}

void PanoramaParametersDialog::OnPlaneProjection(bool on) {
    if (on)
        engine.SetProjectionType(ProjectionType::Planar);
}

void PanoramaParametersDialog::OnCylinderProjection(bool on) {
    if (on)
        engine.SetProjectionType(ProjectionType::Cylindrical);
}

void PanoramaParametersDialog::OnSphericalProjection(bool on) {
    if (on)
        engine.SetProjectionType(ProjectionType::Spherical);
}

void PanoramaParametersDialog::OnColorPhotometricCorrection(bool on) {
    if (on)
        engine.SetPhotometricCorrectionType(kPhotometricColor);
}

void PanoramaParametersDialog::OnGrayPhotometricCorrection(bool on) {
    if (on)
        engine.SetPhotometricCorrectionType(kPhotometricGray);
}

void PanoramaParametersDialog::OnNoPhotometricCorrection(bool on) {
    if (on)
        engine.SetPhotometricCorrectionType(kPhotometricNone);
}

void PanoramaParametersDialog::OnCorrectionLimit(double percent) { engine.SetCorrectionLimit(percent); }

void PanoramaParametersDialog::OnEnableGammaCorrection(int state) { engine.SetDoGammaCorrection(state == Qt::Checked); }

void PanoramaParametersDialog::OnGamma(double gamma) { engine.SetGamma(gamma); }

void PanoramaParametersDialog::OnVerticalCameraRotation(double degrees) {
    engine.SetVerticalCameraRotation(degrees * kRadiansPerDegree);
}

void PanoramaParametersDialog::OnSetDefaultStitchValues() {
    engine.SetDefaultStitchParameters();
    LoadValues();
}
