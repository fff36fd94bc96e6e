#pragma once

// Runs one of the project's programs as a whole process, the way a user or a script does.
#include <sys/wait.h>

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
