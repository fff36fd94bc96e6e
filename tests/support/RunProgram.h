#pragma once

// Runs one of the project's programs as a whole process, the way a user or a script does.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RunResult {
    int status;  // the exit status; -1 when the program did not exit normally
    std::string out, err;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// program with args, stdout and stderr collected through files in folder.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& folder) {
    std::string command = "'" + program + "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " > '" + folder + "/out.txt' 2> '" + folder + "/err.txt'";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(folder + "/out.txt"), ReadAll(folder + "/err.txt")};
}

// A run interrupted as a user at the terminal does it: SIGINT (or the signal given) once
// `trigger` appears on its stderr. stdout goes nowhere.
struct InterruptedRun {
    bool signalled = false;  // the trigger came
    int status = -1;         // the exit status; -1 when the program did not exit normally
    std::string err;
};

inline InterruptedRun RunAndInterrupt(std::vector<std::string> args, const std::string& trigger, int signal = SIGINT) {
    InterruptedRun run;
    int errPipe[2];
    if (pipe(errPipe) != 0)
        return run;
    const pid_t child = fork();
    if (child < 0)
        return run;
    if (child == 0) {
        dup2(errPipe[1], STDERR_FILENO);
        close(errPipe[0]);
        const int nowhere = open("/dev/null", O_WRONLY);
        dup2(nowhere, STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(99);
    }
    close(errPipe[1]);
    char buffer[512];
    ssize_t n;
    while ((n = read(errPipe[0], buffer, sizeof buffer)) > 0) {
        run.err.append(buffer, static_cast<size_t>(n));
        if (!run.signalled && run.err.find(trigger) != std::string::npos) {
            kill(child, signal);
            run.signalled = true;
        }
    }
    close(errPipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
