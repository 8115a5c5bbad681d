// What the tree may hold: names that are XML names, text that XML 1.0 can
// carry, depths the parser reads back, and storing a value literally. The
// set engine and node creation check with these before they change the
// tree, so that a saved file always parses again.
#ifndef TREEVAL_XMLTEXT_H
#define TREEVAL_XMLTEXT_H

#include <libxml/tree.h>

#include <treeval/xstring.h>

// Elements nested deeper than this are refused by the parser on reading.
constexpr int MAX_TREE_DEPTH = 256;
// Text nodes longer than this are refused by the parser on reading.
constexpr unsigned long MAX_TEXT_LENGTH = 10000000;

// An element or attribute name without a prefix: a prefix could only be
// bound to a namespace the caller never named.
bool isXmlName(const XString& name);
// An attribute name that is an XML name and no namespace declaration.
bool isAttributeName(const XString& name);
// Well-formed UTF-8 made only of characters XML 1.0 allows, and short
// enough for the parser to read back.
bool isXmlText(const XString& text);
// The number of elements from the root down to node (the root is 1).
int elementDepth(const xmlNode* node);
// Nodes a node-set may hold that are not the tree's own: the document
// itself, and namespace nodes, which the result owns as copies.
bool isTreeNode(const xmlNode* node);
// Stores text as the node's whole content, literally (no entity references
// are read from it). False for a node that cannot hold text, or text the
// node's kind cannot carry (a comment with "--", say).
bool setNodeText(xmlNode* node, const XString& text);

#endif
