// Drives a program's window on an X display from outside, as a user and a window manager
// would: waits for the window to appear painted, asks it to close, and times the start.
//
//   vedora-xwin wait TITLE TIMEOUT_MS           prints the window id once it shows pixels
//   vedora-xwin close TITLE                     sends the window manager's close request
//   vedora-xwin time-to-paint TITLE -- CMD...   starts CMD, prints the milliseconds until its
//                                               window is painted, then closes it
//
// Exit status 0 on success, 1 when the window did not come (or CMD failed), 2 on bad usage.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string WindowName(Display* display, Window window) {
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return name;
    }
    char* legacy = nullptr;
    if (XFetchName(display, window, &legacy) && legacy) {
        name = legacy;
        XFree(legacy);
    }
    return name;
}

// The first window below root (depth first) with this title.
Window FindWindow(Display* display, Window root, const std::string& title) {
    Window parentOut, rootOut, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootOut, &parentOut, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (WindowName(display, children[i]) == title)
            found = children[i];
        else
            found = FindWindow(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

// Painted: mapped, and its pixels show more than a handful of colours (an unpainted window
// shows the bare background).
bool IsPainted(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return false;
    std::set<unsigned long> colours;
    for (int y = 0; y < attributes.height && colours.size() < 16; y += 7)
        for (int x = 0; x < attributes.width && colours.size() < 16; x += 7)
            colours.insert(XGetPixel(image, x, y));
    XDestroyImage(image);
    return colours.size() >= 16;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

Window WaitPainted(Display* display, const std::string& title, int timeoutMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        Window window = FindWindow(display, DefaultRootWindow(display), title);
        if (window && IsPainted(display, window))
            return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

bool SendClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    return sent;
}

int Usage() {
    std::fprintf(stderr, "usage: vedora-xwin wait TITLE TIMEOUT_MS | close TITLE | time-to-paint TITLE -- CMD...\n");
    return 2;
}

int TimeToPaint(Display* display, const std::string& title, char** command) {
    auto start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    if (child < 0)
        return 1;
    Window window = WaitPainted(display, title, 20000);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (window) {
        std::printf("%.1f\n", ms);
        SendClose(display, window);
    } else {
        kill(child, SIGTERM);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return window && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "vedora-xwin: no display\n");
        return 1;
    }
    // Windows come and go while they are searched.
    XSetErrorHandler(IgnoreErrors);
    std::string command = argv[1], title = argv[2];
    int result = 2;
    if (command == "wait" && argc == 4) {
        Window window = WaitPainted(display, title, std::atoi(argv[3]));
        if (window)
            std::printf("0x%lx\n", window);
        result = window ? 0 : 1;
    } else if (command == "close" && argc == 3) {
        Window window = FindWindow(display, DefaultRootWindow(display), title);
        result = window && SendClose(display, window) ? 0 : 1;
    } else if (command == "time-to-paint" && argc >= 5 && std::strcmp(argv[3], "--") == 0) {
        result = TimeToPaint(display, title, argv + 4);
    } else {
        result = Usage();
    }
    XCloseDisplay(display);
    return result;
}
