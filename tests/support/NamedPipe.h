#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

// A named pipe that offers some bytes to whoever opens it for reading, as a file name a user
// might pass by mistake. The writer blocks until a reader comes; Release() lets it finish
// when the code under test never opened the pipe, so a test ends either way without waiting
// on a clock.
class NamedPipe {
public:
    NamedPipe(const std::string& pipePath, std::string offered) : path(pipePath), bytes(std::move(offered)) {
        created = ::mkfifo(path.c_str(), 0600) == 0;
        if (!created)
            return;
        writer = std::thread([this] {
            int fd = ::open(path.c_str(), O_WRONLY);
            if (fd >= 0) {
                ssize_t ignored = ::write(fd, bytes.data(), bytes.size());
                (void)ignored;
                ::close(fd);
            }
        });
    }
    ~NamedPipe() { Release(); }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool Created() const { return created; }

    // Holding both ends open lets the writer's open complete whether or not it has started.
    void Release() {
        if (!writer.joinable())
            return;
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
        writer.join();
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::string path;
    std::string bytes;
    bool created = false;
    std::thread writer;
};
