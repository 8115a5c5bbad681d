// Recording, committing and undoing the set engine's edits of the tree.
// Nodes are put back by linking their pointers directly: the library's
// insertion functions merge neighbouring text nodes, which would free a node
// that an earlier edit still refers to.
#include "treeedits.h"

#include <libxml/valid.h>

#include "xmlptr.h"
#include "xmltext.h"

namespace {

xmlAttr* asAttribute(xmlNode* node) {
    return reinterpret_cast<xmlAttr*>(node);
}

bool isIdAttribute(const xmlNode* node) {
    return node->type == XML_ATTRIBUTE_NODE &&
           reinterpret_cast<const xmlAttr*>(node)->atype == XML_ATTRIBUTE_ID;
}

// The document's ID table finds an attribute by its value: when the value
// changes, the entry must move with it, or a later lookup would meet an
// attribute that no longer has that value, or one that has been freed.
void forgetId(xmlNode* node) {
    xmlRemoveID(node->doc, asAttribute(node));
    asAttribute(node)->atype = XML_ATTRIBUTE_ID;
}

void registerId(xmlNode* node) {
    XmlCharPtr value(xmlNodeListGetString(node->doc, node->children, 1));
    if (value) xmlAddID(nullptr, node->doc, value.get(), asAttribute(node));
}

// Links an attribute back into its element's list just before next (at the
// end when next is null).
void relinkAttribute(xmlNode* node, xmlNode* element, xmlNode* nextNode) {
    xmlAttr* attribute = asAttribute(node);
    xmlAttr* next = asAttribute(nextNode);
    xmlAttr* prev = nullptr;
    if (next) {
        prev = next->prev;
    } else {
        for (xmlAttr* a = element->properties; a; a = a->next)
            prev = a;
    }
    attribute->parent = element;
    attribute->prev = prev;
    attribute->next = next;
    if (prev)
        prev->next = attribute;
    else
        element->properties = attribute;
    if (next) next->prev = attribute;
}

// Links a tree node back under parent just before next (last when null).
void relinkChild(xmlNode* node, xmlNode* parent, xmlNode* next) {
    xmlNode* prev = next ? next->prev : parent->last;
    node->parent = parent;
    node->prev = prev;
    node->next = next;
    if (prev)
        prev->next = node;
    else
        parent->children = node;
    if (next)
        next->prev = node;
    else
        parent->last = node;
}

}  // namespace

void TreeEdits::open() {
    ++depth;
}

bool TreeEdits::close(bool success) {
    if (--depth > 0) return success;
    if (success)
        commit();
    else
        undo();
    return success;
}

xmlNode* TreeEdits::added(xmlNode* node) {
    if (node && recording()) edits.push_back({Kind::ADDED, node});
    return node;
}

// The creating functions that take content as an argument read entity
// references from it; the text child variant and the attribute
// constructors store it as it is.
xmlNode* TreeEdits::addElement(xmlNode* parent, const XString& name, const XString& text) {
    if (text.length() == 0) return added(xmlNewChild(parent, nullptr, name, nullptr));
    return added(xmlNewTextChild(parent, nullptr, name, text));
}

xmlNode* TreeEdits::addAttribute(xmlNode* element, const XString& name, const XString& text) {
    const xmlChar* qualified = name;
    const xmlChar* colon = xmlStrchr(qualified, ':');
    const xmlChar* local = colon ? colon + 1 : qualified;
    xmlNs* ns = nullptr;
    if (colon) {
        XmlCharPtr prefix(xmlStrndup(qualified, static_cast<int>(colon - qualified)));
        ns = prefix ? xmlSearchNs(element->doc, element, prefix.get()) : nullptr;
        if (!ns) return nullptr;
    }
    if (xmlHasNsProp(element, local, ns ? ns->href : nullptr)) return nullptr;
    return added(reinterpret_cast<xmlNode*>(xmlNewNsProp(element, ns, local, text)));
}

void TreeEdits::remove(xmlNode* node) {
    xmlNode* parent = node->parent;
    xmlNode* next = node->type == XML_ATTRIBUTE_NODE
                        ? reinterpret_cast<xmlNode*>(asAttribute(node)->next)
                        : node->next;
    xmlUnlinkNode(node);
    if (!recording()) {
        xmlFreeNode(node);
        return;
    }
    Edit edit{Kind::REMOVED, node};
    edit.parent = parent;
    edit.next = next;
    edits.push_back(edit);
}

// Takes the node's children off as one chain, kept whole for an undo.
void TreeEdits::detachChildren(xmlNode* node) {
    xmlNode* first = node->children;
    node->children = nullptr;
    node->last = nullptr;
    if (!recording()) {
        xmlFreeNodeList(first);
        return;
    }
    Edit edit{Kind::CHILDREN, node};
    edit.first = first;
    edits.push_back(edit);
}

bool TreeEdits::setText(xmlNode* node, const XString& text) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
            // Adding content to an element without children makes one text
            // node of the exact bytes; the setter that replaces content in
            // one call would read entity references from them.
            detachChildren(node);
            if (text.length() > 0) xmlNodeAddContent(node, text);
            return true;
        case XML_ATTRIBUTE_NODE: {
            xmlNode* value = xmlNewDocText(node->doc, text);
            if (!value) return false;
            const bool isId = isIdAttribute(node);
            if (isId) forgetId(node);
            detachChildren(node);
            value->parent = node;
            node->children = value;
            node->last = value;
            if (isId) registerId(node);
            return true;
        }
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE: {
            if (!canCarryRawText(node->type, text)) return false;
            if (recording()) {
                Edit edit{Kind::CONTENT, node};
                edit.text = xmlStrdup(node->content);
                edits.push_back(edit);
            }
            xmlNodeSetContent(node, text);
            return true;
        }
        default:
            return false;
    }
}

void TreeEdits::commit() {
    for (const Edit& edit : edits) {
        switch (edit.kind) {
            case Kind::REMOVED:
                xmlFreeNode(edit.node);
                break;
            case Kind::CHILDREN:
                xmlFreeNodeList(edit.first);
                break;
            case Kind::CONTENT:
                xmlFree(edit.text);
                break;
            case Kind::ADDED:
                break;
        }
    }
    edits.clear();
}

// Newest first: when an edit is reversed, the tree around it is exactly as
// it was right after that edit was made.
void TreeEdits::undo() {
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
        xmlNode* node = edit->node;
        switch (edit->kind) {
            case Kind::ADDED:
                xmlUnlinkNode(node);
                xmlFreeNode(node);
                break;
            case Kind::REMOVED:
                if (node->type == XML_ATTRIBUTE_NODE)
                    relinkAttribute(node, edit->parent, edit->next);
                else
                    relinkChild(node, edit->parent, edit->next);
                break;
            case Kind::CHILDREN: {
                const bool isId = isIdAttribute(node);
                if (isId) forgetId(node);
                xmlFreeNodeList(node->children);
                node->children = edit->first;
                xmlNode* last = edit->first;
                while (last && last->next)
                    last = last->next;
                node->last = last;
                if (isId) registerId(node);
                break;
            }
            case Kind::CONTENT:
                xmlNodeSetContent(node, edit->text);
                xmlFree(edit->text);
                break;
        }
    }
    edits.clear();
}
