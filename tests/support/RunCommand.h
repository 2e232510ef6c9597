#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Runs a program with arguments through the shell, capturing both streams (stderr through a file).
inline CommandResult run(const std::string& program, const std::vector<std::string>& args) {
    const auto errPath = std::filesystem::temp_directory_path() /
                         ("varnook-err-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()));
    std::string cmd = shellQuote(program);
    for (const auto& a : args)
        cmd += " " + shellQuote(a);
    cmd += " 2>" + shellQuote(errPath.string());

    CommandResult r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr)
        return r;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        r.out.append(buf.data(), n);
    const int status = ::pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    FILE* err = std::fopen(errPath.c_str(), "rb");
    if (err != nullptr) {
        while ((n = std::fread(buf.data(), 1, buf.size(), err)) > 0)
            r.err.append(buf.data(), n);
        std::fclose(err);
    }
    std::filesystem::remove(errPath);
    return r;
}

} // namespace testsupport
