// Loading the document from its file or from memory, and saving it back.
// The file is opened here by its exact name and parsed from the descriptor;
// how the file is replaced lives in atomicsave.cpp, the lock in filelock.cpp.
#include <treeval/xmlloader.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <string>

#include <libxml/parser.h>

#include "atomicsave.h"
#include "entitybound.h"
#include "xmlloaderimpl.h"

namespace {

// Blank text is dropped, as the library's default set at start-up says; no
// entity substitution, no DTD loading and no network: a file must not make
// the parser read other files or hosts.
constexpr int PARSE_OPTIONS = XML_PARSE_NOBLANKS | XML_PARSE_COMPACT | XML_PARSE_NONET;

// The library's own file opening would take the name as a URI ("-" is
// standard input, "%41" an "A", "file://" a scheme) and would silently
// expand compressed files. Only regular files are read: a FIFO or a device
// could block or never end. The name still labels the library's messages.
xmlDoc* parseNamedFile(const std::string& name) {
    UniqueFd fd(open(name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return nullptr;
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    return xmlReadFd(fd.get(), name.c_str(), nullptr, PARSE_OPTIONS);
}

// Drops a parsed document whose entity references exceed the bound.
void dropUnbounded(xmlDoc*& doc, const Logger::Functor<Logger::Id>& trace) {
    if (!doc || entityTextWithinBound(doc)) return;
    trace(LOG_ERR,
          "Entity references expand to more than " + std::to_string(MAX_ENTITY_TEXT) + " bytes");
    xmlFreeDoc(doc);
    doc = nullptr;
}

}  // namespace

bool XMLLoader::loadFile(bool create) {
    auto trace = logger.getFunctor<Logger::Id>("loadFile");
    trace(LOG_T, "Loading file " + impl->fileName);
    xmlFreeDoc(impl->doc);
    impl->doc = nullptr;
    struct stat status {};
    if (stat(impl->fileName.c_str(), &status) == 0) {
        impl->doc = parseNamedFile(impl->fileName);
        dropUnbounded(impl->doc, trace);
    } else if (create) {
        trace(LOG_T, "File not found, initialising empty file");
        impl->doc = xmlNewDoc(BAD_CAST "1.0");
    }
    return impl->doc != nullptr;
}

bool XMLLoader::loadArray(const char* buffer, unsigned int size) {
    auto trace = logger.getFunctor<Logger::Id>("loadArray");
    trace(LOG_T, "Loading array...");
    xmlFreeDoc(impl->doc);
    impl->doc = nullptr;
    // The library takes a signed length, which a larger size would turn
    // negative.
    if (size > INT_MAX) return false;
    impl->doc = xmlParseMemory(buffer, static_cast<int>(size));
    dropUnbounded(impl->doc, trace);
    return impl->doc != nullptr;
}

bool XMLLoader::saveFile() const {
    auto trace = logger.getFunctor<Logger::Id>("saveFile");
    trace(LOG_T, "Saving file: " + impl->fileName);
    // Besides blank handling this switches indentation on again, should
    // anything in the process have turned it off.
    xmlKeepBlanksDefault(0);
    if (!impl->doc) {
        trace(LOG_ERR, "No document to save");
        return false;
    }
    std::string failure;
    if (saveDocument(impl->doc, impl->fileName, failure)) return true;
    trace(LOG_ERR, "Could not save file " + impl->fileName + ": " + failure);
    return false;
}
