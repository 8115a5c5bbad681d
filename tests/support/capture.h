// Captures what a piece of code writes to a file descriptor (standard
// output for log lines), so tests see the library's real output.
#ifndef TREEVAL_TEST_CAPTURE_H
#define TREEVAL_TEST_CAPTURE_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// Runs fn with descriptor fd redirected to a temporary file and returns
// everything written to it.
inline std::string captureFd(int fd, const std::function<void()>& fn) {
    std::fflush(nullptr);
    std::cout.flush();
    char name[] = "/tmp/treeval-capture-XXXXXX";
    int tmp = mkstemp(name);
    unlink(name);
    int saved = dup(fd);
    dup2(tmp, fd);
    fn();
    std::fflush(nullptr);
    std::cout.flush();
    dup2(saved, fd);
    close(saved);
    std::string text;
    lseek(tmp, 0, SEEK_SET);
    char chunk[4096];
    for (ssize_t n; (n = read(tmp, chunk, sizeof chunk)) > 0;)
        text.append(chunk, n);
    close(tmp);
    return text;
}

inline std::string captureStdout(const std::function<void()>& fn) {
    return captureFd(1, fn);
}

// The captured lines with their 21-character time stamp and the blank after
// it checked and removed: "[dd.mm.yyyy hh:mm:ss] " then the tag and text.
inline std::vector<std::string> logLines(const std::string& text) {
    static const std::regex stamp(R"(^\[\d\d\.\d\d\.\d{4} (0[1-9]|1[0-2]):[0-5]\d:[0-5]\d\] )");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, stamp))
            lines.push_back(line.substr(m.length()));
        else
            lines.push_back("UNSTAMPED: " + line);
    }
    return lines;
}

#endif
