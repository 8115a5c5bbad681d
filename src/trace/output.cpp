// The sinks of finished log lines: standard output while console logging is
// on, and every registered log file, opened, appended to and closed per line
// so that no handle stays open between lines.
#include <treeval/trace.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Write errors are ignored: logging must never make the traced work fail.
void writeLine(std::FILE* sink, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), sink);
    std::fputc('\n', sink);
    std::fflush(sink);
}

void appendToLogFile(const std::string& path, const std::string& line) {
    FilePtr file(std::fopen(path.c_str(), "a"));
    if (!file) return;
    writeLine(file.get(), line);
}

}  // namespace

void Logger::output(std::string line) {
    if (line.size() > 1 && line.back() == '\n') line.pop_back();
    if (_clogging) writeLine(stdout, line);
    for (const std::string& path : log_files)
        appendToLogFile(path, line);
}

void Logger::setConsoleLogging(bool on) {
    _clogging = on;
}

// A failed removal (most often: no such file yet) changes nothing; the next
// line creates the file either way.
void Logger::setLogFile(const std::string& path, bool append) {
    if (!append) unlink(path.c_str());
    log_files.insert(path);
}
