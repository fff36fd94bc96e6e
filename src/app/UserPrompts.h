#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialog;

// Every question the window asks the user and every message box and file dialog it shows go
// through this interface, so that the window's flows can be driven by a script in tests. The
// window owns one; QtUserPrompts shows Qt's dialogs.
class UserPrompts {
public:
    enum class Kind { Information, Question, Warning, Critical };

    virtual ~UserPrompts() = default;

    // A message box with buttons of the given texts, in that order. Returns the index of the
    // button pressed; closing the box without pressing one answers escapeIndex.
    virtual int Ask(Kind kind, const QString& title, const QString& text, const QStringList& buttons, int defaultIndex,
                    int escapeIndex) = 0;
    // A message box with standard buttons (Yes, No, Cancel, ...); returns the one pressed.
    virtual QMessageBox::StandardButton AskStandard(Kind kind, const QString& title, const QString& text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton) = 0;
    // A message with a single OK button.
    virtual void Inform(const QString& title, const QString& text) = 0;
    virtual void Warn(const QString& title, const QString& text) = 0;

    // File dialogs; an empty answer means the user cancelled.
    virtual QString ChooseOpenFile(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QStringList ChooseOpenFiles(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString ChooseSaveFile(const QString& title, const QString& folder, const QString& filter) = 0;

    // Runs a modal dialog of the program (about box, parameter dialogs) and returns its result
    // code (QDialog::Accepted or QDialog::Rejected).
    virtual int RunDialog(QDialog& dialog) = 0;
};
