#include <QIcon>

#include <csignal>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/MovieSupport.h"
#include "app/MyApplication.h"
#include "app/StartupArguments.h"

namespace {

// --version and --help answer without a display.
int AnswerWithoutWindow(const StartupRequest& request) {
    switch (request.action) {
    case StartupRequest::PrintVersion: std::fputs(VersionText().c_str(), stdout); return 0;
    case StartupRequest::PrintHelp: std::fputs(HelpText().c_str(), stdout); return 0;
    case StartupRequest::BadOption:
        std::fprintf(stderr, "vedora: unknown option %s\n\n%s", request.option.c_str(), HelpText().c_str());
        return 2;
    case StartupRequest::Run: break;
    }
    return -1;
}

int RunWindow(MyApplication& app, bool movieExport) {
    MainWindow window(StartupProjectPath(QCoreApplication::arguments()));
    app.SetPrompts(&window.Prompts());
    if (!movieExport)
        window.SetQuickTimeAvailable(false);
    window.RestoreGeometry();
    window.setWindowTitle(QCoreApplication::translate("MainWindow", "Vedora 1.02"));
    window.show();
    window.setWindowIcon(QIcon(":/images/IconVedora.png"));
    int result = app.exec();
    app.SetPrompts(nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    StartupRequest request = ReadStartupRequest(argc, argv);
    if (request.action != StartupRequest::Run)
        return AnswerWithoutWindow(request);

    // A write beyond the file size limit fails like one on a full disk, and the saves say so,
    // instead of the signal ending the program with the user's work unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    Q_INIT_RESOURCE(vedora);
    MyApplication app(argc, argv);
    QCoreApplication::setApplicationName("vedora");
    QCoreApplication::setApplicationVersion("1.02");
    QGuiApplication::setDesktopFileName("vedora");
    bool movieExport = InitializeMovieExport();
    return RunWindow(app, movieExport);
}
