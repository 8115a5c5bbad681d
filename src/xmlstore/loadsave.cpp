// Loading the document from its file or from memory, and saving it back.
// The file is opened here by its exact name and parsed from the descriptor;
// how the file is replaced lives in atomicsave.cpp, the lock in filelock.cpp.
#include <treeval/xmlloader.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <string>
#include <unordered_map>

#include <libxml/entities.h>
#include <libxml/parser.h>

#include "atomicsave.h"
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

// Entity references stay references in the tree, and every read of the
// text around one copies the entity's text again: a small file that refers
// to a large entity many times makes a single value gigabytes long, in our
// query and in the library's XPath string functions alike. A document whose
// references stand for more text than the parser takes in one text node is
// therefore refused as a whole.
constexpr unsigned long long MAX_ENTITY_TEXT = 10000000;
// Deeper nesting of entities than this only comes from files made to
// exhaust the reader; the parser itself stops far earlier.
constexpr int MAX_ENTITY_NESTING = 64;

// Measures the text that entity references stand for. Sums saturate just
// above the bound, so no count overflows and the walk stops early.
class EntityMeter {
public:
    explicit EntityMeter(xmlDoc* doc) : doc_(doc) {}

    bool withinBound() { return measure(doc_->children, false, 0) <= MAX_ENTITY_TEXT; }

private:
    static unsigned long long add(unsigned long long total, unsigned long long more) {
        return std::min(total + std::min(more, MAX_ENTITY_TEXT + 1), MAX_ENTITY_TEXT + 1);
    }

    // The nodes from first on, with their siblings and everything below
    // them, attribute values included. Entity references always count; the
    // plain text only inside an entity, where it is what the entity stands
    // for. The walk is iterative, as the tree may be deep.
    unsigned long long measure(xmlNode* first, bool countText, int nesting) {
        unsigned long long total = 0;
        xmlNode* stop = first ? first->parent : nullptr;
        for (xmlNode* node = first; node && total <= MAX_ENTITY_TEXT;) {
            total = add(total, ownText(node, countText, nesting));
            // A reference's children field points at the entity's
            // declaration, which is not part of this tree.
            if (node->type == XML_ELEMENT_NODE && node->children) {
                node = node->children;
                continue;
            }
            while (node && node != stop && !node->next)
                node = node->parent;
            node = node && node != stop ? node->next : nullptr;
        }
        return total;
    }

    unsigned long long ownText(xmlNode* node, bool countText, int nesting) {
        switch (node->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                return countText ? xmlStrlen(node->content) : 0;
            case XML_ENTITY_REF_NODE:
                return entityText(xmlGetDocEntity(doc_, node->name), nesting + 1);
            case XML_ELEMENT_NODE: {
                unsigned long long total = 0;
                for (xmlAttr* a = node->properties; a && total <= MAX_ENTITY_TEXT; a = a->next)
                    total = add(total, measure(a->children, countText, nesting));
                return total;
            }
            default:
                return 0;
        }
    }

    // What one reference to the entity reads as. While an entity is being
    // measured it counts as too large, so a loop the parser let through
    // cannot recur.
    unsigned long long entityText(xmlEntity* entity, int nesting) {
        if (!entity) return 0;
        if (nesting > MAX_ENTITY_NESTING) return MAX_ENTITY_TEXT + 1;
        auto known = sizes_.find(entity);
        if (known != sizes_.end()) return known->second;
        sizes_[entity] = MAX_ENTITY_TEXT + 1;
        // An entity whose content was never parsed into nodes is counted
        // by its raw text.
        unsigned long long size = entity->children
                                      ? measure(entity->children, true, nesting)
                                      : static_cast<unsigned long long>(entity->length);
        sizes_[entity] = size;
        return size;
    }

    xmlDoc* doc_;
    std::unordered_map<const xmlEntity*, unsigned long long> sizes_;
};

// Drops a parsed document whose entity references exceed the bound; only a
// document with a document type can declare entities.
void dropUnbounded(xmlDoc*& doc, const Logger::Functor<Logger::Id>& trace) {
    if (!doc || (!doc->intSubset && !doc->extSubset) || EntityMeter(doc).withinBound()) return;
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
