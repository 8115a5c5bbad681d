// The treeval command: prints the values of the nodes an XPath expression
// selects in an XML file, or stores a value at the place the expression
// names and writes the file back. All XML work happens in the document
// store; this driver checks arguments, applies the one-node rule and turns
// each failure into one message and exit status 1.
#include <treeval/xmlloader.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "allocator.h"

namespace {

const char* const USAGE = "Usage: treeval <file> <xpath> [value]";
const char* const ENOTFOUND = "File not found or could not create: ";
const char* const EBADXPATH = "Could not use xpath: ";
const char* const ETOOMANY = "XPath evaluates to more than one object. Cannot set.";
const char* const ESAVEVALUE = "Could not save value";
const char* const ESAVEFILE = "Could not save file";

// Ends the process. Standard output is flushed and checked here, once, so
// that a value lost to a full disk or a closed pipe is a failure the caller
// sees. The store is deliberately not destroyed: freeing a large tree
// costs time and gives nothing back to a process that is ending.
[[noreturn]] void finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "treeval: write error: %s\n", std::strerror(errno));
        status = 1;
    }
    std::exit(status);
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    finish(1);
}

void printValues(const std::vector<std::string>& values) {
    for (const std::string& value : values) {
        std::fwrite(value.data(), 1, value.size(), stdout);
        std::fputc('\n', stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::printf("%s\n", USAGE);
        finish(1);
    }
    const char* file = argv[1];
    const std::string expression = argv[2];
    const bool setMode = argc == 4;

    tuneAllocatorFor(file);
    XMLLoader store(file);
    if (setMode && !store.lockFile()) fail(std::string(ENOTFOUND) + file);
    if (!store.loadFile(setMode)) fail(std::string(ENOTFOUND) + file);

    std::vector<std::string> values;
    const bool queried = store.getVector(expression, values, 0);
    if (!queried) {
        std::fprintf(stderr, "%s%s\n", EBADXPATH, expression.c_str());
        std::fflush(stderr);
    }

    if (!setMode) {
        printValues(values);
        finish(queried ? 0 : 1);
    }

    if (values.size() > 1 || store.attributeParentCount(expression) > 1) fail(ETOOMANY);
    std::vector<char*> value{argv[3]};
    if (!store.setOrCreateVector(expression, value)) fail(ESAVEVALUE);
    if (!store.saveFile()) fail(ESAVEFILE);
    finish(0);
}
