// The store's life: building the facade and its implementation, deep copies,
// equality, and the reference count that starts the XML library for the
// first store and cleans it up after the last. Loading and saving live in
// loadsave.cpp, evaluation in evaluation.cpp.
#include <treeval/xmlloader.h>

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "xmlloaderimpl.h"

unsigned int XMLLoaderImpl::references = 0;

XMLLoaderImpl::XMLLoaderImpl(const char* name) : fileName(name), doc(nullptr) {
    start();
}

XMLLoaderImpl::XMLLoaderImpl() : doc(nullptr) {
    start();
}

XMLLoaderImpl::XMLLoaderImpl(const XMLLoaderImpl& other) : fileName(other.fileName), doc(nullptr) {
    start();
    if (other.doc) doc = xmlCopyDoc(other.doc, 1);
}

XMLLoaderImpl& XMLLoaderImpl::operator=(const XMLLoaderImpl& other) {
    if (this == &other) return *this;
    xmlFreeDoc(doc);
    doc = other.doc ? xmlCopyDoc(other.doc, 1) : nullptr;
    fileName = other.fileName;
    return *this;
}

XMLLoaderImpl::~XMLLoaderImpl() {
    xmlFreeDoc(doc);
    releaseLock();
    stop();
}

namespace {

// The document's bytes as a plain save would write them into memory.
std::string serialise(xmlDoc* doc) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &text, &size);
    XmlCharPtr owner(text);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

}  // namespace

// Two documents are equal when they serialise to exactly the same bytes: a
// comparison over one side's length alone would call a document equal to
// any longer one that begins with it.
bool XMLLoaderImpl::operator==(const XMLLoaderImpl& other) const {
    if (!doc) return !other.doc;
    if (!other.doc) return false;
    std::string theirs = serialise(other.doc);
    std::string ours = serialise(doc);
    return ours == theirs;
}

void XMLLoaderImpl::start() {
    if (references != 0) {
        ++references;
        return;
    }
    logger.trace("start", LOG_T, "First instance, initialising parser");
    xmlInitParser();
    xmlCheckVersion(20623);
    xmlKeepBlanksDefault(0);
    *__xmlIndentTreeOutput() = 1;
    references = 1;
}

void XMLLoaderImpl::stop() {
    --references;
    if (references != 0) return;
    logger.trace("stop", LOG_T, "Last instance, cleaning up parser");
    xmlCleanupParser();
}

namespace {

// A null file name cannot become the name string: the standard library
// throws, and the half-built implementation must not leak.
XMLLoaderImpl* newImpl(const char* fileName) {
    if (!fileName) throw std::logic_error("XMLLoader: null file name");
    return new XMLLoaderImpl(fileName);
}

}  // namespace

XMLLoader::XMLLoader(const char* fileName) : impl(newImpl(fileName)) {}

XMLLoader::XMLLoader(const std::string& fileName) : impl(new XMLLoaderImpl(fileName.c_str())) {}

XMLLoader::XMLLoader() : impl(new XMLLoaderImpl()) {}

XMLLoader::XMLLoader(const XMLLoader& other)
    : Object(), impl(other.impl ? new XMLLoaderImpl(*other.impl) : nullptr) {}

XMLLoader& XMLLoader::operator=(const XMLLoader& other) {
    if (this != &other) *impl = *other.impl;
    return *this;
}

XMLLoader::~XMLLoader() {
    delete impl;
}

bool XMLLoader::operator==(const XMLLoader& other) const {
    return *other.impl == *impl;
}
