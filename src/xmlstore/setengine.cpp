// The set engine: stores a list of values at a path so that the path then
// selects one node per value. Found nodes take the values in document
// order, missing nodes and ancestors are created (through node creation,
// which calls back here), and surplus nodes are removed. For a final
// attribute step the parent elements are first brought to one per value.
#include <treeval/xmlloader.h>

#include <libxml/tree.h>

#include <algorithm>
#include <unordered_set>

#include "treeedits.h"
#include "xmlloaderimpl.h"
#include "xmltext.h"

namespace {

std::string text(const XString& s) {
    return s.stringValue("");
}

bool isAttributeStep(const XString& last) {
    return last.length() > 0 && last[0] == '@';
}

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
    // Whether every selected value is text the tree can hold.
    bool allStorable() const {
        for (std::size_t i = 0; i < size_; ++i)
            if (flags_[i] && !isXmlText(values_[i])) return false;
        return true;
    }
    const XString& next() {
        while (!flags_[position_])
            ++position_;
        return values_[position_++];
    }

private:
    const std::vector<XString>& values_;
    const std::vector<bool>& flags_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Setting or removing a node takes what lies below it out of the tree; a
// node-set that also holds such a descendant would then edit nodes that are
// no longer part of the document.
bool holdsNestedNodes(const Evaluation& found) {
    if (found.count() < 2) return false;
    std::unordered_set<const xmlNode*> nodes;
    for (int i = 0; i < found.count(); ++i)
        nodes.insert(found.node(i));
    for (int i = 0; i < found.count(); ++i) {
        const xmlNode* node = found.node(i);
        if (!isTreeNode(node)) continue;
        for (const xmlNode* up = node->parent; up; up = up->parent)
            if (nodes.count(up)) return true;
    }
    return false;
}

// The root element holds the whole document: a file without one does not
// parse again.
bool isRootElement(const xmlNode* node) {
    return node->type == XML_ELEMENT_NODE && node->parent &&
           node->parent->type == XML_DOCUMENT_NODE;
}

// The attribute's name as a path step names it, with its prefix.
XString qualifiedName(const xmlNode* attribute) {
    XString name(attribute->name);
    if (attribute->ns && attribute->ns->prefix) return XString(attribute->ns->prefix) + ":" + name;
    return name;
}

// The element names of a path made only of child steps from the root
// ("/config/a/b"); empty for any other path.
std::vector<XString> childSteps(const XString& path) {
    const std::string whole = text(path);
    std::vector<XString> steps;
    if (whole.empty() || whole[0] != '/') return steps;
    for (std::size_t start = 1;;) {
        const std::size_t slash = whole.find('/', start);
        const XString step(whole.substr(start, slash == std::string::npos ? slash : slash - start));
        if (!isXmlName(step)) return {};
        steps.push_back(step);
        if (slash == std::string::npos) return steps;
        start = slash + 1;
    }
}

// The path of the first `count` steps.
XString stepsPath(const std::vector<XString>& steps, std::size_t count) {
    XString path;
    for (std::size_t i = 0; i < count; ++i)
        path += XString("/") + steps[i];
    return path;
}

using Trace = Logger::Functor<Logger::Id>;

// Creates what a path of child steps from the root needs when its parent
// path selects nothing, as the recursion through node creation would: the
// missing elements one below the other under the first node of the deepest
// prefix that selects any (the new root element when none does), and the
// values' elements under the last. Finding that prefix from the root down
// costs one evaluation per existing level; the library walks the tree down
// to a plain path's depth for every evaluation, so asking each missing
// level in turn would cost that walk several times per level.
bool createChain(XMLLoaderImpl& store, const Trace& trace, const std::vector<XString>& steps,
                 ValueCursor& cursor, unsigned int count) {
    const std::size_t last = steps.size() - 1;
    Evaluation base;
    std::size_t existing = 0;
    for (std::size_t level = 1; level < last; ++level) {
        Evaluation prefix;
        if (!store.evaluate(stepsPath(steps, level), prefix) || prefix.count() == 0) break;
        base = std::move(prefix);
        existing = level;
    }
    const XString none;
    xmlNode* at = existing > 0 ? base.node(0) : nullptr;
    if (existing == 0) {
        trace(LOG_T, "Creating new root node: " + text(steps[0]));
        if (xmlDocGetRootElement(store.doc)) {
            trace(LOG_ERR, "Document has another root element than: " + text(steps[0]));
            return false;
        }
        at = store.edits.addElement(reinterpret_cast<xmlNode*>(store.doc), steps[0], none);
        if (!at) {
            trace(LOG_ERR, "Failed to add nodes to: ");
            return false;
        }
        existing = 1;
    }
    for (std::size_t level = existing; level <= last; ++level) {
        const bool isLast = level == last;
        if (isLast && count == 0) return true;
        const XString parent = stepsPath(steps, level);
        trace(LOG_T, "Adding '" + text(steps[level]) + "' nodes to: " + text(parent));
        xmlNode* parentNode = at;
        for (unsigned int made = 0; made < (isLast ? count : 1); ++made) {
            if (!canHoldNewElements(parentNode, 1) ||
                !(at = store.edits.addElement(parentNode, steps[level],
                                              isLast ? cursor.next() : none))) {
                trace(LOG_ERR, "Failed to add nodes to: " + text(parent));
                return false;
            }
        }
    }
    return true;
}

// Adds the nodes for the values from position `have` on: attributes one
// per parent element in document order, elements all under the first
// parent, each appended as its last child.
bool addNodes(const Trace& trace, TreeEdits& edits, const XString& parent, const XString& last,
              const Evaluation& parents, unsigned int have, unsigned int want,
              ValueCursor& cursor) {
    trace(LOG_T, "Adding '" + text(last) + "' nodes to: " + text(parent));
    const bool attributeStep = isAttributeStep(last);
    const XString name = attributeStep ? last.substr(1, XString::npos) : last;
    if (!attributeStep && !isXmlName(name)) {
        trace(LOG_ERR, "Not an XML name: " + text(last));
        return false;
    }
    for (unsigned int k = have; k < want; ++k) {
        const XString& v = cursor.next();
        xmlNode* made = nullptr;
        if (attributeStep) {
            xmlNode* element = static_cast<int>(k) < parents.count() ? parents.node(k) : nullptr;
            if (element && element->type == XML_ELEMENT_NODE)
                made = edits.addAttribute(element, name, v);
        } else {
            xmlNode* first = parents.count() > 0 ? parents.node(0) : nullptr;
            if (first && canHoldNewElements(first, want - have))
                made = edits.addElement(first, name, v);
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
bool removeNodes(const Trace& trace, TreeEdits& edits, const XString& parent, Evaluation& found,
                 unsigned int keep) {
    trace(LOG_T, "Removing nodes from: " + text(parent));
    xmlNodeSet* set = found.object->nodesetval;
    for (int i = static_cast<int>(keep); i < set->nodeNr; ++i) {
        xmlNode* node = set->nodeTab[i];
        if (!node || !isTreeNode(node)) {
            set->nodeNr = i;
            trace(LOG_ERR, "NULL nodes retrieved from: " + text(parent));
            return false;
        }
        if (isRootElement(node)) {
            set->nodeNr = i;
            trace(LOG_ERR, "Cannot remove the root element: " + text(parent));
            return false;
        }
        edits.remove(node);
        set->nodeTab[i] = nullptr;
    }
    set->nodeNr = static_cast<int>(keep);
    return true;
}

}  // namespace

// The outermost call takes back every edit of a call that fails, so that a
// failed call leaves the document as it was.
bool XMLLoaderImpl::setOrCreateVector(const XString& path, const std::vector<XString>& values,
                                      const std::vector<bool>& flags) {
    EditScope scope(edits);
    return scope.close(storeValues(path, values, flags, true));
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
    if (!cursor.allStorable()) {
        trace(LOG_ERR, "Value cannot be stored in XML at: " + text(path));
        return false;
    }

    // Split. For a path ending in a condition, the parent path is the path
    // without that condition.
    XString parent, last, key, value;
    bool ok = splitPath(path, parent, last);
    const bool attributeStep = isAttributeStep(last);
    if (attributeStep && !isAttributeName(last.substr(1, XString::npos))) {
        trace(LOG_ERR, "Not an XML name: " + text(last));
        return false;
    }
    if (splitCondition(path, parent, key, value)) ok = createNode(path) && ok;
    const bool hasParent = parent.length() > 0;

    // Attribute parents: one element per value.
    if (ok && attributeStep && countNodes(parent) != N) {
        trace(LOG_T, "Creating or removing parent nodes for " + text(path));
        bool adjusted =
            storeValues(parent, std::vector<XString>(N), std::vector<bool>(N, true), false);
        if (countNodes(parent) != N) {
            trace(LOG_ERR, "Attempt to adjust parent nodes for " + text(path) + " failed");
            return false;
        }
        ok = adjusted;
    }

    Evaluation found;
    const bool usable = evaluate(path, found) && ok;
    const unsigned int F = usable ? found.count() : 0;

    // Nothing found: make the parent exist first. Its nodes, when it has
    // some, are the ones to add to.
    Evaluation parents;
    if (usable && F == 0 && !attributeStep && hasParent) evaluate(parent, parents);
    if (usable && F == 0 && !attributeStep && parents.count() == 0) {
        found = Evaluation();
        if (hasParent) {
            const std::vector<XString> steps = childSteps(path);
            if (!steps.empty()) return createChain(*this, trace, steps, cursor, N);
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
        if (N > 1) {
            trace(LOG_ERR, "Attempt to create >1 root nodes");
            return false;
        }
        if (!isXmlName(last)) {
            trace(LOG_ERR, "Not an XML name: " + text(last));
            return false;
        }
        const XString none;
        if (!edits.addElement(reinterpret_cast<xmlNode*>(doc), last,
                              N == 1 ? cursor.next() : none)) {
            trace(LOG_ERR, "Failed to add nodes to: " + text(parent));
            return false;
        }
        return true;
    }

    // Set the found nodes.
    if (usable && F > 0 && !attributeStep && holdsNestedNodes(found)) {
        trace(LOG_ERR, "Nested nodes selected by: " + text(path));
        return false;
    }
    const unsigned int M = attributeStep ? F : std::min(F, N);
    bool success = usable;
    for (unsigned int i = 0; usable && i < M; ++i) {
        xmlNode* node = found.node(i);
        if (!node) {
            trace(LOG_ERR, "NULL nodes retrieved from: " + text(parent));
            success = false;
            break;
        }
        if (!attributeStep) {
            const XString& v = cursor.next();
            if (setFound && !edits.setText(node, v)) {
                trace(LOG_ERR, "Cannot store a value in the node selected by: " + text(path));
                return false;
            }
            continue;
        }
        if (node->type != XML_ATTRIBUTE_NODE) {
            trace(LOG_ERR, "Not an attribute, selected by: " + text(path));
            return false;
        }
        // One value for an attribute that exists: it keeps its place among
        // its element's attributes.
        if (N == 1 && XString("@") + qualifiedName(node) == last) {
            if (edits.setText(node, cursor.next())) return true;
            trace(LOG_ERR, "Cannot store a value in the node selected by: " + text(path));
            return false;
        }
        // Any other selected attribute is replaced, not updated: it goes
        // now and its successor is added below. Its entry is cleared, as
        // the result no longer covers it.
        edits.remove(node);
        found.object->nodesetval->nodeTab[i] = nullptr;
    }

    // Balance the number of nodes against the number of values.
    const unsigned int G = attributeStep ? 0 : F;
    if (G == N) return success;
    // With nothing found nothing has changed since the parent path was
    // evaluated above.
    if (!parents.object) {
        parents.context = std::move(found.context);
        if (success && hasParent) evaluate(parent, parents);
    }
    if (!success || !hasParent || !parents.object || !parents.object->nodesetval ||
        !parents.object->nodesetval->nodeTab) {
        trace(LOG_ERR, "Could not retrieve parent node: " + text(parent));
        return false;
    }
    return G < N ? addNodes(trace, edits, parent, last, parents, G, N, cursor)
                 : removeNodes(trace, edits, parent, found, N);
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
