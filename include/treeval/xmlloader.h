// XMLLoader: one XML document in memory, bound to one file name. It reads
// node values with XPath, stores values at a path (creating what the path
// needs), deletes nodes, and loads and saves the file. Every operation
// reports success as bool and writes its diagnostics through the class
// loggers; nothing is thrown on ordinary failure.
#ifndef TREEVAL_XMLLOADER_H
#define TREEVAL_XMLLOADER_H

#include <sstream>
#include <string>
#include <vector>

#include <treeval/object.h>
#include <treeval/trace.h>
#include <treeval/xstring.h>

class XMLLoaderImpl;

class XMLLoader : public Object {
public:
    // Binds the store to a file name, taken literally; no document yet.
    // A null name throws std::logic_error.
    explicit XMLLoader(const char* fileName);
    explicit XMLLoader(const std::string& fileName);
    XMLLoader();
    // Deep copies: the two stores never share a tree.
    XMLLoader(const XMLLoader& other);
    XMLLoader& operator=(const XMLLoader& other);
    ~XMLLoader() override;

    // Equal when both hold no document, or both serialise to the same bytes.
    bool operator==(const XMLLoader& other) const;

    static Logger* getLogger();

    // Replaces the document by the file's contents; when the file does not
    // exist and create is true, by an empty document (the file is written
    // only by saveFile). True when a document is held afterwards; an
    // existing file that does not parse leaves no document, whatever create.
    bool loadFile(bool create);
    // Replaces the document by one parsed from size bytes at buffer; the
    // file name is unchanged. True when a document is held afterwards.
    bool loadArray(const char* buffer, unsigned int size);
    // Writes the whole document, indented and encoded as UTF-8, to the file.
    // True exactly when the document was written; on false the file is as
    // it was.
    bool saveFile() const;
    // Takes an exclusive lock that serialises the load-modify-save cycles of
    // cooperating processes on this file name, held until the store is
    // destroyed or the process ends. True when the lock is held, and also
    // when the file's directory does not exist (nothing can be written
    // there, so the save will fail); false when the lock cannot be taken.
    bool lockFile();

    // Replaces the contents of values by the values of the nodes that the
    // expression selects (the first maxCount of them; 0: all). A text node
    // gives its text; any other node the contents of its children joined by
    // one space. False when the expression cannot be evaluated (values
    // then holds what was gathered before the failure). Instantiated for
    // std::string.
    template <typename T>
    bool getVector(const std::string& expression, std::vector<T>& values,
                   unsigned int maxCount) const;
    // Appends the values of the selected nodes to values.
    bool getVectorImpl(const XString& expression, std::vector<XString>& values,
                       unsigned int maxCount) const;

    // Stores the values at the path so that it then selects one node per
    // value, creating the root element, missing ancestors, an element named
    // by a final equality condition and a final attribute, and removing
    // surplus nodes. Changes only the document in memory. False on any
    // failure, and then the document is as it was.
    template <typename T>
    bool setOrCreateVector(const std::string& path, const std::vector<T>& values);
    // As setOrCreateVector; only the values whose flag is true take part.
    bool setOrCreateVectorImpl(const XString& path, const std::vector<XString>& values,
                               const std::vector<bool>& flags);

    // For a path whose last step names an attribute, the number of elements
    // its parent path selects (each would receive one attribute); 0 for any
    // other path. Lets a caller refuse a set that would touch several
    // elements before anything changes.
    unsigned int attributeParentCount(const std::string& path) const;

    // Removes every node the expression selects from the document (in
    // memory). True exactly when it selected one node.
    bool deletePath(const std::string& path);

private:
    friend class XMLLoaderImpl;

    XMLLoaderImpl* impl;
    static Logger logger;
};

template <>
inline bool XMLLoader::getVector(const std::string& expression, std::vector<std::string>& values,
                                 unsigned int maxCount) const {
    std::vector<XString> gathered;
    bool ok = getVectorImpl(XString(expression), gathered, maxCount);
    values.resize(gathered.size());
    for (std::size_t i = 0; i < gathered.size(); ++i)
        values[i] = gathered[i].stringValue("");
    return ok;
}

template <typename T>
bool XMLLoader::setOrCreateVector(const std::string& path, const std::vector<T>& values) {
    std::vector<XString> converted;
    std::vector<bool> flags;
    converted.reserve(values.size());
    for (const T& value : values) {
        std::ostringstream text;
        text << value;
        converted.emplace_back(text.str());
        flags.push_back(true);
    }
    return setOrCreateVectorImpl(XString(path), converted, flags);
}

#endif
