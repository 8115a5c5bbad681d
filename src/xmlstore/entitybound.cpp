// Measures the text that a document's entity references stand for, without
// expanding any of it: one walk over the tree, each entity measured once.
#include "entitybound.h"

#include <libxml/entities.h>
#include <libxml/xmlstring.h>

#include <algorithm>
#include <unordered_map>

namespace {

// Deeper nesting of entities than this only comes from files made to
// exhaust the reader; the parser itself stops far earlier.
constexpr int MAX_ENTITY_NESTING = 64;

// Measures the text that entity references stand for. Sums saturate just
// above the bound, so no count overflows and the walk stops early.
class EntityMeter {
public:
    explicit EntityMeter(xmlDoc* doc) : doc_(doc) {}

    bool withinBound() { return measure(doc_->children, false, 0) <= MAX_ENTITY_TEXT; }

private:
    static unsigned long long add(unsigned long long total, unsigned long long more) {
        return std::min(total + std::min(more, MAX_ENTITY_TEXT + 1), MAX_ENTITY_TEXT + 1);
    }

    // The nodes from first on, with their siblings and everything below
    // them, attribute values included. Entity references always count; the
    // plain text only inside an entity, where it is what the entity stands
    // for. The walk is iterative, as the tree may be deep.
    unsigned long long measure(xmlNode* first, bool countText, int nesting) {
        unsigned long long total = 0;
        xmlNode* stop = first ? first->parent : nullptr;
        for (xmlNode* node = first; node && total <= MAX_ENTITY_TEXT;) {
            total = add(total, ownText(node, countText, nesting));
            // A reference's children field points at the entity's
            // declaration, which is not part of this tree.
            if (node->type == XML_ELEMENT_NODE && node->children) {
                node = node->children;
                continue;
            }
            while (node && node != stop && !node->next)
                node = node->parent;
            node = node && node != stop ? node->next : nullptr;
        }
        return total;
    }

    unsigned long long ownText(xmlNode* node, bool countText, int nesting) {
        switch (node->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                return countText ? xmlStrlen(node->content) : 0;
            case XML_ENTITY_REF_NODE:
                return entityText(xmlGetDocEntity(doc_, node->name), nesting + 1);
            case XML_ELEMENT_NODE: {
                unsigned long long total = 0;
                for (xmlAttr* a = node->properties; a && total <= MAX_ENTITY_TEXT; a = a->next)
                    total = add(total, measure(a->children, countText, nesting));
                return total;
            }
            default:
                return 0;
        }
    }

    // What one reference to the entity reads as. While an entity is being
    // measured it counts as too large, so a loop the parser let through
    // cannot recur.
    unsigned long long entityText(xmlEntity* entity, int nesting) {
        if (!entity) return 0;
        if (nesting > MAX_ENTITY_NESTING) return MAX_ENTITY_TEXT + 1;
        auto known = sizes_.find(entity);
        if (known != sizes_.end()) return known->second;
        sizes_[entity] = MAX_ENTITY_TEXT + 1;
        // An entity whose content was never parsed into nodes is counted
        // by its raw text.
        unsigned long long size = entity->children
                                      ? measure(entity->children, true, nesting)
                                      : static_cast<unsigned long long>(entity->length);
        sizes_[entity] = size;
        return size;
    }

    xmlDoc* doc_;
    std::unordered_map<const xmlEntity*, unsigned long long> sizes_;
};

}  // namespace

bool entityTextWithinBound(xmlDoc* doc) {
    return (!doc->intSubset && !doc->extSubset) || EntityMeter(doc).withinBound();
}
