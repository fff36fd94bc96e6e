#pragma once

#include <QDialog>

#include "ui_AboutForm.h"

// The about box: the banner picture, a description of the program and an OK button.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    Ui::AboutForm ui{};
};
