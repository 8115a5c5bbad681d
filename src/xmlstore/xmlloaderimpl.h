// The implementation class of the document store: it owns the document and
// the file name. Its members are grouped by the source file that defines them.
#ifndef TREEVAL_XMLLOADERIMPL_H
#define TREEVAL_XMLLOADERIMPL_H

#include <string>
#include <vector>

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <treeval/object.h>
#include <treeval/trace.h>
#include <treeval/xstring.h>

#include "treeedits.h"
#include "xmlptr.h"

class XMLLoaderImpl : public Object {
public:
    // lifecycle.cpp: construction, copies, equality and the library's
    // reference-counted start-up and clean-up.
    explicit XMLLoaderImpl(const char* fileName);
    XMLLoaderImpl();
    XMLLoaderImpl(const XMLLoaderImpl& other);
    XMLLoaderImpl& operator=(const XMLLoaderImpl& other);
    ~XMLLoaderImpl() override;
    bool operator==(const XMLLoaderImpl& other) const;
    static void start();
    static void stop();

    // loadsave.cpp: parsing from the named file and replacing it safely.
    // Closes the descriptor that holds the file lock, if any.
    void releaseLock();

    // evaluation.cpp: every evaluation runs in a fresh XPath context unless
    // the caller passes one. On true the caller owns and frees both context
    // and result object; on false nothing is left to free (a context passed
    // in has been freed and set to null).
    bool evalToContextAndObj(const XString& expression, xmlXPathContextPtr& context,
                             xmlXPathObjectPtr& object) const;
    // The same, with the results held by their owners.
    bool evaluate(const XString& expression, Evaluation& evaluation) const;
    // Nodes in the node-set the expression gives; 0 when it fails or gives
    // no node-set.
    unsigned int countNodes(const XString& expression) const;

    // query.cpp
    bool getVector(const XString& expression, std::vector<XString>& values,
                   unsigned int maxCount) const;
    // The value of one node: a text node's text, else its children's
    // contents joined by one space.
    static XString nodeValue(xmlNode* node);

    // pathgrammar.cpp
    static bool splitPath(const XString& path, XString& parent, XString& last);
    static bool splitCondition(const XString& path, XString& name, XString& key, XString& value);

    // nodecreation.cpp
    bool createNode(const XString& path);

    // setengine.cpp
    bool setOrCreateVector(const XString& path, const std::vector<XString>& values,
                           const std::vector<bool>& flags);
    // The engine itself. With setFound false the nodes the path already
    // selects keep their content: only their number is brought to the
    // number of values (used for the parents of an attribute step).
    bool storeValues(const XString& path, const std::vector<XString>& values,
                     const std::vector<bool>& flags, bool setFound);
    // How deep the engine has recursed: one level per missing ancestor.
    int engineDepth = 0;
    // Every change the engine and node creation make to the tree; a failed
    // set-or-create takes them all back.
    TreeEdits edits;

    // loggers.cpp
    static Logger logger;

    static unsigned int references;
    std::string fileName;
    xmlDocPtr doc;
    int lockFd = -1;
};

#endif
