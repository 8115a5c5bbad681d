// Node creation: adds the node a path names. A path ending in an equality
// condition gets a new element under the first node its parent path
// selects, carrying the attribute or child element that makes the condition
// true; every other path is handed to the set engine with one blank value.
#include <libxml/tree.h>

#include "treeedits.h"
#include "xmlloaderimpl.h"
#include "xmltext.h"

namespace {

const std::vector<XString> ONE_BLANK(1);
const std::vector<bool> ONE_TRUE(1, true);

}  // namespace

bool XMLLoaderImpl::createNode(const XString& path) {
    auto trace = logger.getFunctor<Logger::Id>("createNode");
    trace(LOG_T, "Creating node: " + path.stringValue(""));

    XString name, key, value;
    if (!splitCondition(path, name, key, value)) {
        if (!setOrCreateVector(path, ONE_BLANK, ONE_TRUE)) return false;
        return countNodes(path) == 1;
    }

    trace(LOG_T, "--node is conditional");
    XString parent, element;
    if (!splitPath(name, parent, element)) {
        trace(LOG_ERR, "--failed to split the valid path: " + name.stringValue(""));
        return false;
    }
    if (parent == XString("")) {
        trace(LOG_ERR, "Attempt to create a new root node!");
        return false;
    }
    // The element and the key become node names, and the value text: what
    // the tree cannot hold and read back must not reach it.
    bool attributeKey = key.length() > 0 && key[0] == '@';
    XString keyName = attributeKey ? key.substr(1, XString::npos) : key;
    if (!isXmlName(element) || !(attributeKey ? isAttributeName(keyName) : isXmlName(keyName))) {
        trace(LOG_ERR, "Not an XML name in condition path: " + path.stringValue(""));
        return false;
    }
    if (!isXmlText(value)) {
        trace(LOG_ERR, "Condition value cannot be stored in XML: " + path.stringValue(""));
        return false;
    }
    if (countNodes(parent) == 0) {
        trace(LOG_T, "--creating parent of conditional node");
        if (!setOrCreateVector(parent, ONE_BLANK, ONE_TRUE) || countNodes(parent) != 1) {
            trace(LOG_ERR, "--failed to create parent: " + parent.stringValue(""));
            return false;
        }
    }

    Evaluation evaluation;
    xmlNode* parentNode = nullptr;
    if (evaluate(parent, evaluation) && evaluation.count() > 0) parentNode = evaluation.node(0);
    xmlNode* created = nullptr;
    if (parentNode && canHoldNewElements(parentNode, 1))
        created = edits.addElement(parentNode, element, XString());
    if (created) {
        xmlNode* made = nullptr;
        if (attributeKey)
            made = edits.addAttribute(created, keyName, value);
        else if (canHoldNewElements(created, 1))
            made = edits.addElement(created, key, value);
        if (made) return true;
    }
    if (!parentNode) trace(LOG_ERR, "Failed to locate parent node: " + parent.stringValue(""));
    if (!created) trace(LOG_ERR, "Failed to create child node:" + element.stringValue(""));
    trace(LOG_ERR,
          "Failed to create child node:" + key.stringValue("") + "=" + value.stringValue(""));
    return false;
}
