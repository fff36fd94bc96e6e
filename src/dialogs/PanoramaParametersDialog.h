#pragma once

#include <QDialog>

#include <memory>

class PanoramaEngine;
class QDoubleSpinBox;

namespace Ui {
class PanoramaParametersForm;
}

// Edits the project's stitching parameters in the engine: projection, vertical camera
// rotation, photometric correction with its limit, and gamma correction. Every change is
// written into the engine at once (which marks the project modified when the value differs);
// OK and Cancel only close the dialog, so Cancel undoes nothing.
class PanoramaParametersDialog : public QDialog {
    Q_OBJECT
public:
    PanoramaParametersDialog(PanoramaEngine& engine, QWidget* parent = nullptr);
    ~PanoramaParametersDialog() override;

    // Degrees to radians and back, as the dialogs of the program convert angles.
    static constexpr double kRadiansPerDegree = 0.017453292519943295;
    static constexpr double kDegreesPerRadian = 57.29577951308232;

public slots:
    void OnPlaneProjection(bool on);
    void OnCylinderProjection(bool on);
    void OnSphericalProjection(bool on);
    void OnColorPhotometricCorrection(bool on);
    void OnGrayPhotometricCorrection(bool on);
    void OnNoPhotometricCorrection(bool on);
    void OnCorrectionLimit(double percent);
    void OnEnableGammaCorrection(int state);
    void OnGamma(double gamma);
    void OnVerticalCameraRotation(double degrees);
    void OnSetDefaultStitchValues();

private:
    void Connect();
    // Shows the engine's values without writing them back: a box rounds a value to its
    // decimals, and that rounding must not change the project behind the user's back.
    void LoadValues();

    std::unique_ptr<Ui::PanoramaParametersForm> ui;
    PanoramaEngine& engine;
};
