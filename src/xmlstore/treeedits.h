// The edits the set engine makes to the document tree, kept so that a call
// that fails can put the tree back exactly as it was: while a scope is open,
// added nodes are noted, removed nodes and replaced contents are held
// instead of freed, and the outermost scope commits or undoes them all.
#ifndef TREEVAL_TREEEDITS_H
#define TREEVAL_TREEEDITS_H

#include <vector>

#include <libxml/tree.h>

#include <treeval/xstring.h>

// States: idle (no scope open: every edit is final at once and nothing is
// held) or open (depth above 0: every edit is recorded, and nodes it takes
// out of the tree stay allocated until the outermost scope closes). Closing
// the outermost scope with success frees what was held; closing it with
// failure reverses the edits newest first, which restores each node at the
// place it had, since every later edit has been reversed before.
class TreeEdits {
public:
    // Held nodes belong to the document, which may be gone when the store
    // is destroyed; the scopes (EditScope) always close before that.
    TreeEdits() = default;
    TreeEdits(const TreeEdits&) = delete;
    TreeEdits& operator=(const TreeEdits&) = delete;

    // Scopes nest; only the outermost close acts: success commits, failure
    // undoes. Returns success, so a caller can close and return in one.
    void open();
    bool close(bool success);

    // Appends an element without a namespace as the last child of parent
    // (an element, or a document that gets its root element), holding text
    // literally, or nothing when text is empty. Null when the library fails.
    xmlNode* addElement(xmlNode* parent, const XString& name, const XString& text);
    // Adds an attribute after the element's others, its value text stored
    // literally. A name with the prefix xml takes that namespace. Null when
    // the element holds the attribute already or the library fails.
    xmlNode* addAttribute(xmlNode* element, const XString& name, const XString& text);
    // Takes a tree node or an attribute out of the tree.
    void remove(xmlNode* node);
    // Makes text the whole content of an element, an attribute or a text,
    // comment, processing instruction or CDATA node, stored literally (no
    // entity references are read from it). False, with nothing changed, for
    // other nodes and for text the node's kind cannot carry.
    bool setText(xmlNode* node, const XString& text);

private:
    enum class Kind { ADDED, REMOVED, CHILDREN, CONTENT };
    struct Edit {
        Kind kind;
        xmlNode* node;
        // REMOVED: where the node stood, its parent and its next sibling.
        xmlNode* parent = nullptr;
        xmlNode* next = nullptr;
        // CHILDREN: the first of the detached children.
        xmlNode* first = nullptr;
        // CONTENT: a copy of the old text.
        xmlChar* text = nullptr;
    };

    bool recording() const { return depth > 0; }
    xmlNode* added(xmlNode* node);
    void detachChildren(xmlNode* node);
    void commit();
    void undo();

    std::vector<Edit> edits;
    int depth = 0;
};

// Opens a scope on the edits for as long as it lives; one that is left
// without close (an exception) undoes.
class EditScope {
public:
    explicit EditScope(TreeEdits& edits) : edits_(edits) { edits_.open(); }
    ~EditScope() {
        if (!closed_) edits_.close(false);
    }
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;

    bool close(bool success) {
        closed_ = true;
        return edits_.close(success);
    }

private:
    TreeEdits& edits_;
    bool closed_ = false;
};

#endif
