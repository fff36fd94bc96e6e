#include "app/MyApplication.h"

#include "app/QtUserPrompts.h"

MyApplication::MyApplication(int& argc, char** argv) : QApplication(argc, argv) {}

MyApplication::~MyApplication() = default;

UserPrompts& MyApplication::Prompts() {
    if (prompts)
        return *prompts;
    if (!ownPrompts)
        ownPrompts = std::make_unique<QtUserPrompts>();
    return *ownPrompts;
}

bool MyApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const char* message) {
        Prompts().Warn(tr("Exception"), QString::asprintf(qPrintable(tr("Exception in notify(): %s!")), message));
        throw;
    } catch (...) {
        Prompts().Warn(tr("Exception"), tr("Unknown exception in notify()!"));
        throw;
    }
}
