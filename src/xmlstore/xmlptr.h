// Owning pointers for the XML library's resources, so that each allocation
// has its owner on the line that makes it and early returns cannot leak.
#ifndef TREEVAL_XMLPTR_H
#define TREEVAL_XMLPTR_H

#include <memory>

#include <libxml/tree.h>
#include <libxml/xpath.h>

struct XmlDocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlNodeFree {
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
struct XmlContextFree {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XmlObjectFree {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct XmlCharFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;
using XmlNodePtr = std::unique_ptr<xmlNode, XmlNodeFree>;
using XmlContextPtr = std::unique_ptr<xmlXPathContext, XmlContextFree>;
using XmlObjectPtr = std::unique_ptr<xmlXPathObject, XmlObjectFree>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharFree>;

// The nodes of an evaluation result, or none when it holds no node-set.
inline int nodeCount(const xmlXPathObject* object) {
    return object && object->nodesetval ? object->nodesetval->nodeNr : 0;
}

// One evaluation's context and result, freed together.
struct Evaluation {
    XmlContextPtr context;
    XmlObjectPtr object;

    int count() const { return nodeCount(object.get()); }
    xmlNode* node(int i) const { return object->nodesetval->nodeTab[i]; }
};

#endif
