#pragma once

#include <QApplication>

#include <memory>

class UserPrompts;

// The application object. It turns an exception that escapes an event handler into a warning
// box before letting it go on.
class MyApplication : public QApplication {
    Q_OBJECT

public:
    MyApplication(int& argc, char** argv);
    ~MyApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;
    // The prompts that show the warning: the main window's while it exists; Qt's message
    // boxes when null.
    void SetPrompts(UserPrompts* windowPrompts) { prompts = windowPrompts; }

private:
    UserPrompts& Prompts();

    UserPrompts* prompts = nullptr;
    std::unique_ptr<UserPrompts> ownPrompts;
};
