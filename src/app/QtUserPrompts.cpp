#include "app/QtUserPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QPushButton>

#include <vector>

namespace {

QMessageBox::Icon IconOf(UserPrompts::Kind kind) {
    switch (kind) {
    case UserPrompts::Kind::Information: return QMessageBox::Information;
    case UserPrompts::Kind::Question: return QMessageBox::Question;
    case UserPrompts::Kind::Warning: return QMessageBox::Warning;
    case UserPrompts::Kind::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int QtUserPrompts::Ask(Kind kind, const QString& title, const QString& text, const QStringList& buttons,
                       int defaultIndex, int escapeIndex) {
    QMessageBox box(IconOf(kind), title, text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> pushButtons;
    for (const QString& label : buttons)
        pushButtons.push_back(box.addButton(label, QMessageBox::ActionRole));
    auto valid = [&](int i) { return i >= 0 && i < static_cast<int>(pushButtons.size()); };
    if (valid(defaultIndex))
        box.setDefaultButton(pushButtons[static_cast<size_t>(defaultIndex)]);
    if (valid(escapeIndex))
        box.setEscapeButton(pushButtons[static_cast<size_t>(escapeIndex)]);
    box.exec();
    for (size_t i = 0; i < pushButtons.size(); ++i)
        if (box.clickedButton() == pushButtons[i])
            return static_cast<int>(i);
    return escapeIndex;
}

QMessageBox::StandardButton QtUserPrompts::AskStandard(Kind kind, const QString& title, const QString& text,
                                                       QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(IconOf(kind), title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.exec();
    return box.standardButton(box.clickedButton());
}

void QtUserPrompts::Inform(const QString& title, const QString& text) { QMessageBox::information(parent, title, text); }

void QtUserPrompts::Warn(const QString& title, const QString& text) { QMessageBox::warning(parent, title, text); }

QString QtUserPrompts::ChooseOpenFile(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QStringList QtUserPrompts::ChooseOpenFiles(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

QString QtUserPrompts::ChooseSaveFile(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

int QtUserPrompts::RunDialog(QDialog& dialog) { return dialog.exec(); }
