// Path deletion: removes every node an expression selects from the document
// in memory. Saving is the caller's business.
#include <treeval/xmlloader.h>

#include <libxml/tree.h>

#include <unordered_set>
#include <vector>

#include "xmlloaderimpl.h"
#include "xmltext.h"

namespace {

bool hasSelectedAncestor(const xmlNode* node, const std::unordered_set<const xmlNode*>& selected) {
    for (const xmlNode* up = node->parent; up; up = up->parent)
        if (selected.count(up)) return true;
    return false;
}

// Removes the selected tree nodes and clears their entries, so that freeing
// the result later touches none of them. A node whose ancestor is selected
// too goes with that ancestor. Returns how many nodes were unlinked.
int removeSelected(xmlNodeSet* set) {
    std::unordered_set<const xmlNode*> selected;
    for (int i = 0; i < set->nodeNr; ++i)
        if (isTreeNode(set->nodeTab[i])) selected.insert(set->nodeTab[i]);
    std::vector<xmlNode*> roots;
    for (int i = 0; i < set->nodeNr; ++i) {
        xmlNode* node = set->nodeTab[i];
        if (!isTreeNode(node)) continue;
        if (!hasSelectedAncestor(node, selected)) roots.push_back(node);
        set->nodeTab[i] = nullptr;
    }
    for (xmlNode* node : roots) {
        xmlUnlinkNode(node);
        xmlFreeNode(node);
    }
    return static_cast<int>(roots.size());
}

}  // namespace

bool XMLLoader::deletePath(const std::string& path) {
    auto trace = logger.getFunctor<Logger::Id>("deletePath");
    XString expression(path);
    trace(LOG_T, "Erasing: " + expression.stringValue(""));
    Evaluation evaluation;
    if (!impl->evaluate(expression, evaluation)) return false;
    int selected = evaluation.count();
    int removed = selected > 0 ? removeSelected(evaluation.object->nodesetval) : 0;
    return selected == 1 && removed == 1;
}
