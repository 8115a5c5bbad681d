// The bound on entity expansion: entity references stay references in the
// tree, and every read of the text around one copies the entity's text
// again, so a small file can make a single value gigabytes long, in the
// store's query and in the library's XPath string functions alike.
#ifndef TREEVAL_ENTITYBOUND_H
#define TREEVAL_ENTITYBOUND_H

#include <libxml/tree.h>

// The most text the references of one document may stand for: as much as
// the parser takes in one text node.
constexpr unsigned long long MAX_ENTITY_TEXT = 10000000;

// Whether the text that the document's entity references stand for, nested
// entities and attribute values included, stays within MAX_ENTITY_TEXT.
// Always true for a document without a document type, which cannot declare
// entities.
bool entityTextWithinBound(xmlDoc* doc);

#endif
