// Stores one value with the document store while tracing it: the level text
// becomes the mask of the whole logger family, so the store's progress and
// failure lines appear on standard output (and in a log file, when named).
#include <treeval/trace.h>
#include <treeval/xmlloader.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const USAGE = "Usage: trace_demo <level> <file> <xpath> <value> [logfile]";

int usage(const std::string& reason) {
    if (!reason.empty()) std::fprintf(stderr, "trace_demo: %s\n", reason.c_str());
    std::fprintf(stderr, "%s\n", USAGE);
    return 1;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "trace_demo: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) return usage("");
    LOG_LEVEL level;
    if (!Logger::parseLogLevel(argv[1], level))
        return usage(std::string("level not accepted: ") + argv[1]);
    Logger::getRootLogger()->setClassLevel(level, true);
    if (argc == 6) Logger::setLogFile(argv[5], true);

    const std::string file = argv[2];
    const std::string path = argv[3];
    XMLLoader store(file);
    if (!store.lockFile()) return fail("could not lock " + file);
    if (!store.loadFile(true)) return fail("could not load " + file);
    if (!store.setOrCreateVector(path, std::vector<std::string>{argv[4]}))
        return fail("could not set " + path);
    if (!store.saveFile()) return fail("could not save " + file);
    return 0;
}
