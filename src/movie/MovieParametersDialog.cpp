#include "movie/MovieParametersDialog.h"

#include <QPushButton>
#include <QSignalBlocker>

#include "ui_MovieParametersForm.h"

MovieParametersDialog::MovieParametersDialog(VrMovieSettings* s, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::MovieParametersForm>()), settings(s) {
    ui->setupUi(this);
    LoadValues();
    connect(ui->m_nofTilesSpinBox, &QSpinBox::valueChanged, this, &MovieParametersDialog::OnNofTiles);
    connect(ui->m_losslessQualityRadioButton, &QRadioButton::toggled, this, &MovieParametersDialog::OnLosslessQuality);
    connect(ui->m_highQualityRadioButton, &QRadioButton::toggled, this, &MovieParametersDialog::OnHighQuality);
    connect(ui->m_normalQualityRadioButton, &QRadioButton::toggled, this, &MovieParametersDialog::OnNormalQuality);
    connect(ui->m_lowQualityRadioButton, &QRadioButton::toggled, this, &MovieParametersDialog::OnLowQuality);
    connect(ui->m_angleSpinBox, &QSpinBox::valueChanged, this, &MovieParametersDialog::OnAngle);
    connect(ui->m_widthSpinBox, &QSpinBox::valueChanged, this, &MovieParametersDialog::OnWidth);
    connect(ui->m_heightSpinBox, &QSpinBox::valueChanged, this, &MovieParametersDialog::OnHeight);
    connect(ui->m_setDefaultsPushButton, &QPushButton::released, this, &MovieParametersDialog::OnSetDefaults);
    connect(ui->m_buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

MovieParametersDialog::~MovieParametersDialog() = default;

void MovieParametersDialog::LoadValues() {
    const std::pair<QSpinBox*, int> boxes[] = {{ui->m_nofTilesSpinBox, settings->tiles},
                                               {ui->m_angleSpinBox, settings->angle},
                                               {ui->m_widthSpinBox, settings->windowWidth},
                                               {ui->m_heightSpinBox, settings->windowHeight}};
    for (const auto& [box, value] : boxes) {
        const QSignalBlocker blocker(box);
        box->setValue(value);
    }
    QRadioButton* radios[] = {ui->m_losslessQualityRadioButton, ui->m_highQualityRadioButton,
                              ui->m_normalQualityRadioButton, ui->m_lowQualityRadioButton};
    for (int i = 0; i < 4; ++i) {
        const QSignalBlocker blocker(radios[i]);
        radios[i]->setChecked(static_cast<int>(settings->quality) == i);
    }
}

void MovieParametersDialog::OnNofTiles(int value) { settings->tiles = value; }

void MovieParametersDialog::OnLosslessQuality(bool checked) {
    if (checked)
        settings->quality = VrQuality::Lossless;
}

void MovieParametersDialog::OnHighQuality(bool checked) {
    if (checked)
        settings->quality = VrQuality::High;
}

void MovieParametersDialog::OnNormalQuality(bool checked) {
    if (checked)
        settings->quality = VrQuality::Normal;
}

void MovieParametersDialog::OnLowQuality(bool checked) {
    if (checked)
        settings->quality = VrQuality::Low;
}

void MovieParametersDialog::OnAngle(int value) { settings->angle = value; }

void MovieParametersDialog::OnWidth(int value) { settings->windowWidth = value; }

void MovieParametersDialog::OnHeight(int value) { settings->windowHeight = value; }

void MovieParametersDialog::OnSetDefaults() {
    *settings = VrMovieSettings{};
    LoadValues();
}
