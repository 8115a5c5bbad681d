// The set engine: stores a list of values at a path so that the path then
// selects one node per value. Found nodes take the values in document
// order, missing nodes and ancestors are created (through node creation,
// which calls back here), and surplus nodes are removed. For a final
// attribute step the parent elements are first brought to one per value.
#include <treeval/xmlloader.h>

#include <libxml/tree.h>

#include <algorithm>
#include <unordered_set>

#include "xmlloaderimpl.h"
#include "xmltext.h"

namespace {

std::string text(const XString& s) { return s.stringValue(""); }

bool isAttributeStep(const XString& last) { return last.length() > 0 && last[0] == '@'; }

// Counts one level of the engine's recursion for as long as it lives.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

// The selected values in order: the next one is the first value at or after
// the cursor whose flag is true.
class ValueCursor {
public:
    ValueCursor(const std::vector<XString>& values, const std::vector<bool>& flags)
        : values_(values), flags_(flags), size_(std::min(values.size(), flags.size())) {}

    unsigned int selectedCount() const {
        return static_cast<unsigned int>(std::count(flags_.begin(), flags_.begin() + size_, true));
    }
    const XString& next() {
        while (!flags_[position_]) ++position_;
        return values_[position_++];
    }

private:
    const std::vector<XString>& values_;
    const std::vector<bool>& flags_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Setting or removing a node frees what lies below it; a node-set that also
// holds such a descendant would then point at freed memory.
bool holdsNestedNodes(const Evaluation& found) {
    if (found.count() < 2) return false;
    std::unordered_set<const xmlNode*> nodes;
    for (int i = 0; i < found.count(); ++i) nodes.insert(found.node(i));
    for (int i = 0; i < found.count(); ++i) {
        const xmlNode* node = found.node(i);
        if (!isTreeNode(node)) continue;
        for (const xmlNode* up = node->parent; up; up = up->parent)
            if (nodes.count(up)) return true;
    }
    return false;
}

// Whether a new element may go under parent: an element not already at the
// deepest level the parser reads, or a document that has no root element
// yet and receives exactly one.
bool canHoldNewElements(const xmlNode* parent, unsigned int count) {
    if (parent->type == XML_ELEMENT_NODE) return elementDepth(parent) < MAX_TREE_DEPTH;
    return parent->type == XML_DOCUMENT_NODE &&
           !xmlDocGetRootElement(reinterpret_cast<const xmlDoc*>(parent)) && count == 1;
}


using Trace = Logger::Functor<Logger::Id>;

// Adds the nodes for the values from position `have` on: attributes one
// per parent element in document order, elements all under the first
// parent, each appended as its last child.
bool addNodes(const Trace& trace, const XString& parent, const XString& last,
              const Evaluation& parents, unsigned int have, unsigned int want,
              ValueCursor& cursor) {
    trace(LOG_T, "Adding '" + text(last) + "' nodes to: " + text(parent));
    const bool attributeStep = isAttributeStep(last);
    const XString name = attributeStep ? last.substr(1, XString::npos) : last;
    if (!(attributeStep ? isAttributeName(name) : isXmlName(name))) {
        trace(LOG_ERR, "Not an XML name: " + text(last));
        return false;
    }
    for (unsigned int k = have; k < want; ++k) {
        const XString& v = cursor.next();
        xmlNode* made = nullptr;
        if (attributeStep) {
            xmlNode* element = static_cast<int>(k) < parents.count() ? parents.node(k) : nullptr;
            if (element && element->type == XML_ELEMENT_NODE)
                made = reinterpret_cast<xmlNode*>(xmlNewProp(element, name, v));
        } else {
            xmlNode* first = parents.count() > 0 ? parents.node(0) : nullptr;
            if (first && canHoldNewElements(first, want - have))
                made = v.blank() ? xmlNewChild(first, nullptr, name, nullptr)
                                 : xmlNewTextChild(first, nullptr, name, v);
        }
        if (!made) {
            trace(LOG_ERR, "Failed to add nodes to: " + text(parent));
            return false;
        }
    }
    return true;
}

// Removes the found nodes from position `keep` on. Each entry is cleared as
// its node goes, and the count is cut once at the end, so the work is
// linear in the number of nodes removed.
bool removeNodes(const Trace& trace, const XString& parent, Evaluation& found, unsigned int keep) {
    trace(LOG_T, "Removing nodes from: " + text(parent));
    xmlNodeSet* set = found.object->nodesetval;
    for (int i = static_cast<int>(keep); i < set->nodeNr; ++i) {
        xmlNode* node = set->nodeTab[i];
        if (!node || !isTreeNode(node)) {
            set->nodeNr = i;
            trace(LOG_ERR, "NULL nodes retrieved from: " + text(parent));
            return false;
        }
        xmlUnlinkNode(node);
        set->nodeTab[i] = nullptr;
        xmlFreeNode(node);
    }
    set->nodeNr = static_cast<int>(keep);
    return true;
}

}  // namespace

bool XMLLoaderImpl::setOrCreateVector(const XString& path, const std::vector<XString>& values,
                                      const std::vector<bool>& flags) {
    return storeValues(path, values, flags, true);
}

bool XMLLoaderImpl::storeValues(const XString& path, const std::vector<XString>& values,
                                const std::vector<bool>& flags, bool setFound) {
    auto trace = logger.getFunctor<Logger::Id>("setOrCreateVector");
    DepthGuard level(engineDepth);
    if (engineDepth > MAX_TREE_DEPTH) {
        trace(LOG_ERR, "Path too deep to create: " + text(path));
        return false;
    }
    ValueCursor cursor(values, flags);
    const unsigned int N = cursor.selectedCount();
    for (std::size_t i = 0; i < std::min(values.size(), flags.size()); ++i) {
        if (flags[i] && !isXmlText(values[i])) {
            trace(LOG_ERR, "Value cannot be stored in XML at: " + text(path));
            return false;
        }
    }

    // Split. For a path ending in a condition, the parent path is the path
    // without that condition.
    XString parent, last, key, value;
    bool ok = splitPath(path, parent, last);
    if (splitCondition(path, parent, key, value)) ok = createNode(path) && ok;
    const bool attributeStep = isAttributeStep(last);
    const bool hasParent = parent.length() > 0;

    // Attribute parents: one element per value.
    if (ok && attributeStep && countNodes(parent) != N) {
        trace(LOG_T, "Creating or removing parent nodes for " + text(path));
        bool adjusted = storeValues(parent, std::vector<XString>(N), std::vector<bool>(N, true), false);
        if (countNodes(parent) != N) {
            trace(LOG_ERR, "Attempt to adjust parent nodes for " + text(path) + " failed");
            return false;
        }
        ok = adjusted;
    }

    Evaluation found;
    const bool usable = evaluate(path, found) && ok;
    const unsigned int F = usable ? found.count() : 0;

    if (usable && F == 0 && !attributeStep && !(hasParent && countNodes(parent) != 0)) {
        found = Evaluation();
        if (hasParent) {
            if (!createNode(parent)) return false;
            // A condition that the created element does not satisfy would
            // send the retry round for ever.
            if (countNodes(parent) == 0) {
                trace(LOG_ERR, "Created parent is not selected by: " + text(parent));
                return false;
            }
            return storeValues(path, values, flags, setFound);
        }
        trace(LOG_T, "Creating new root node: " + text(last));
        // A document keeps the root element it has: replacing it would take
        // everything below it out of the file.
        if (xmlDocGetRootElement(doc)) {
            trace(LOG_ERR, "Document has another root element than: " + text(last));
            return false;
        }
        if (!isXmlName(last)) {
            trace(LOG_ERR, "Not an XML name: " + text(last));
            return false;
        }
        xmlNode* root = xmlNewNode(nullptr, last);
        if (!root) {
            trace(LOG_ERR, "Failed to add nodes to: " + text(parent));
            return false;
        }
        xmlDocSetRootElement(doc, root);
        if (N == 0) return true;
        if (N == 1) {
            const XString& v = cursor.next();
            if (!v.blank()) setNodeText(root, v);
            return true;
        }
        trace(LOG_ERR, "Attempt to create >1 root nodes");
        return false;
    }

    // Set the found nodes.
    const unsigned int M = attributeStep ? F : std::min(F, N);
    bool success = usable;
    if (usable && M > 0) {
        if (!attributeStep && holdsNestedNodes(found)) {
            trace(LOG_ERR, "Nested nodes selected by: " + text(path));
            return false;
        }
        for (unsigned int i = 0; i < M; ++i) {
            xmlNode* node = found.node(i);
            if (!node) {
                trace(LOG_ERR, "NULL nodes retrieved from: " + text(parent));
                success = false;
                break;
            }
            if (!attributeStep) {
                const XString& v = cursor.next();
                if (setFound && !setNodeText(node, v)) {
                    trace(LOG_ERR, "Cannot store a value in the node selected by: " + text(path));
                    return false;
                }
                continue;
            }
            if (node->type != XML_ATTRIBUTE_NODE) {
                trace(LOG_ERR, "Not an attribute, selected by: " + text(path));
                return false;
            }
            if (N == 1 && XString("@") + XString(node->name) == last)
                return setNodeText(node, cursor.next());
            // Any other selected attribute is replaced, not updated: it goes
            // now and its successor is added below. Its entry is cleared so
            // that freeing the result does not touch it.
            xmlUnlinkNode(node);
            found.object->nodesetval->nodeTab[i] = nullptr;
            xmlFreeNode(node);
        }
    }

    // Balance the number of nodes against the number of values.
    const unsigned int G = attributeStep ? 0 : F;
    if (G == N) return success;
    Evaluation parents;
    parents.context = std::move(found.context);
    if (!success || !hasParent || !evaluate(parent, parents) || !parents.object->nodesetval ||
        !parents.object->nodesetval->nodeTab) {
        trace(LOG_ERR, "Could not retrieve parent node: " + text(parent));
        return false;
    }
    return G < N ? addNodes(trace, parent, last, parents, G, N, cursor)
                 : removeNodes(trace, parent, found, N);
}

bool XMLLoader::setOrCreateVectorImpl(const XString& path, const std::vector<XString>& values,
                                      const std::vector<bool>& flags) {
    return impl->setOrCreateVector(path, values, flags);
}

unsigned int XMLLoader::attributeParentCount(const std::string& path) const {
    XString whole(path), parent, last, key, value;
    if (!XMLLoaderImpl::splitPath(whole, parent, last) || !isAttributeStep(last)) return 0;
    XMLLoaderImpl::splitCondition(whole, parent, key, value);
    return impl->countNodes(parent);
}
