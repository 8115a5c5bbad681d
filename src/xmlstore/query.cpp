// Node query: the values of the nodes an expression selects, in node-set
// order. A text node gives its text; any other node gives the contents of
// its children joined by one space.
#include <treeval/xmlloader.h>

#include <libxml/tree.h>

#include "xmlloaderimpl.h"

namespace {

std::string adoptContent(xmlChar* content) {
    XmlCharPtr owner(content);
    return content ? std::string(reinterpret_cast<const char*>(content)) : std::string();
}

}  // namespace

// The children's contents are gathered in one standard string, since
// appending to a library string rescans it each time.
XString XMLLoaderImpl::nodeValue(xmlNode* node) {
    if (xmlNodeIsText(node)) return XString(xmlNodeGetContent(node), true);
    // A namespace node is no tree node: it has no children to read, and its
    // value is the namespace's name.
    if (node->type == XML_NAMESPACE_DECL) return XString(reinterpret_cast<xmlNs*>(node)->href);
    std::string value;
    for (xmlNode* child = node->children; child; child = child->next) {
        value += adoptContent(xmlNodeGetContent(child));
        if (child->next) value += ' ';
    }
    return XString(value);
}

bool XMLLoaderImpl::getVector(const XString& expression, std::vector<XString>& values,
                              unsigned int maxCount) const {
    auto trace = logger.getFunctor<Logger::Id>("getVector");
    trace(LOG_T, "getVector: " + expression.stringValue(""));
    Evaluation evaluation;
    if (!evaluate(expression, evaluation)) return false;
    unsigned int n = evaluation.count();
    if (maxCount != 0 && n > maxCount) n = maxCount;
    for (unsigned int i = 0; i < n; ++i) {
        xmlNode* node = evaluation.node(i);
        if (!node) {
            trace(LOG_ERR, "NULL node when evaluating " + expression.stringValue("") + "(" +
                               std::to_string(i) + ")");
            return false;
        }
        values.push_back(nodeValue(node));
    }
    return true;
}

bool XMLLoader::getVectorImpl(const XString& expression, std::vector<XString>& values,
                              unsigned int maxCount) const {
    return impl->getVector(expression, values, maxCount);
}
