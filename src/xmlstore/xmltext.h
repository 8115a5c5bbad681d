// What the tree may hold: names that are XML names, text that XML 1.0 can
// carry, and depths and places where the parser reads new elements back as
// they were made. The set engine and node creation check with these before
// they change the tree, so that a saved file always parses again.
#ifndef TREEVAL_XMLTEXT_H
#define TREEVAL_XMLTEXT_H

#include <libxml/tree.h>

#include <treeval/xstring.h>

// The deepest level a new element may take. The parser refuses documents
// nested more than one level deeper; the margin keeps its own limit, which
// its message names as this number, out of reach.
constexpr int MAX_TREE_DEPTH = 256;
// Text nodes longer than this are refused by the parser on reading.
constexpr unsigned long MAX_TEXT_LENGTH = 10000000;

// An element name without a prefix: a prefix could only be bound to a
// namespace the caller never named.
bool isXmlName(const XString& name);
// An attribute name: an XML name that is no namespace declaration, or one
// with the prefix xml, which every document binds (xml:lang, xml:space).
bool isAttributeName(const XString& name);
// Well-formed UTF-8 made only of characters XML 1.0 allows, and short
// enough for the parser to read back.
bool isXmlText(const XString& text);
// The number of elements from the root down to node (the root is 1).
int elementDepth(const xmlNode* node);
// Whether a new element without a namespace may go under parent and be read
// back as it was made: an element above the deepest level with no default
// namespace in scope (the file would put the new element into it), or a
// document without a root element when exactly one element is added.
bool canHoldNewElements(const xmlNode* parent, unsigned int count);
// Nodes a node-set may hold that are not the tree's own: the document
// itself, and namespace nodes, which the result owns as copies.
bool isTreeNode(const xmlNode* node);
// Whether a node of a kind that holds raw text (text, comment, processing
// instruction, CDATA) can carry text and still parse: a comment cannot hold
// "--" or end in "-", a processing instruction cannot hold "?>", a CDATA
// section cannot hold "]]>".
bool canCarryRawText(xmlElementType type, const XString& text);

#endif
