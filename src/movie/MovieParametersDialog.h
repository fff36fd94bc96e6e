#pragma once

#include <QDialog>

#include <memory>

#include "movie/VrMovieSettings.h"

namespace Ui {
class MovieParametersForm;
}

// Edits the window's movie parameters in place: number of tiles, compression quality, the
// angle on the cylinder and the player window size. Every change is written at once; Cancel
// closes without undoing anything. settings must not be null.
class MovieParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit MovieParametersDialog(VrMovieSettings* settings, QWidget* parent = nullptr);
    ~MovieParametersDialog() override;

public slots:
    void OnNofTiles(int value);
    void OnLosslessQuality(bool checked);
    void OnHighQuality(bool checked);
    void OnNormalQuality(bool checked);
    void OnLowQuality(bool checked);
    void OnAngle(int value);
    void OnWidth(int value);
    void OnHeight(int value);
    void OnSetDefaults();

private:
    // Shows the current values without writing them back.
    void LoadValues();

    std::unique_ptr<Ui::MovieParametersForm> ui;
    VrMovieSettings* settings;
};
