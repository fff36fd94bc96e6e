#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "engine/ProjectParameters.h"

class PanoramaEngine;
class QDoubleSpinBox;

namespace Ui {
class AutomaticParametersForm;
}

// Edits the project's automatic matching parameters in place: the number, spacing and working
// image size of the feature points, the matching radius and the RANSAC threshold. Every change
// goes into the engine at once; Cancel closes without undoing anything. The editors' ranges are
// the parameter table's.
class AutomaticParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutomaticParametersDialog(PanoramaEngine& parameters, QWidget* parent = nullptr);
    ~AutomaticParametersDialog() override;

public slots:
    void OnFeatureExtractionImageSize(double value);
    void OnFeatureExtractionMaxNofPoints(double value);
    void OnFeatureExtractionSpacing(double value);
    void OnFeatureMatchingRadius(double value);
    void OnFeatureMatchingRansacThreshold(double value);
    void OnSetDefaults();

private:
    struct Editor {
        QDoubleSpinBox* box;
        ParameterId id;
    };
    std::vector<Editor> Editors() const;
    // Shows the engine's values without writing them back (a box clamps a value outside its
    // range, which must not change the project behind the user's back).
    void LoadValues();

    std::unique_ptr<Ui::AutomaticParametersForm> ui;
    PanoramaEngine& engine;
};
