// Checks of names, text, depth and places against what the parser reads
// back. Storing the values themselves is left to the tree edits.
#include "xmltext.h"

#include <libxml/chvalid.h>
#include <libxml/xmlstring.h>

#include <cstring>

// The parser refuses names longer than this ("Name too long"), so a longer
// one would be saved into a file that cannot be read again.
constexpr unsigned long MAX_NAME_LENGTH = 50000;

// The library's name check reads malformed UTF-8 as single-byte characters
// and accepts some of it, so the bytes are checked as text first.
bool isXmlName(const XString& name) {
    return name.length() > 0 && name.length() <= MAX_NAME_LENGTH && isXmlText(name) &&
           xmlValidateNCName(name, 0) == 0;
}

bool isAttributeName(const XString& name) {
    const char* text = reinterpret_cast<const char*>(static_cast<const unsigned char*>(name));
    if (std::strncmp(text, "xml:", 4) == 0) return isXmlName(XString(text + 4));
    return isXmlName(name) && name != XString("xmlns");
}

namespace {

// Decodes one UTF-8 sequence strictly (no overlong forms, no surrogates,
// nothing above U+10FFFF); returns its length, or 0 when it is malformed.
int decodeUtf8(const unsigned char* s, unsigned long left, unsigned int& codePoint) {
    unsigned char lead = s[0];
    int length;
    unsigned int minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (static_cast<unsigned long>(length) > left) return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (s[i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

}  // namespace

bool isXmlText(const XString& text) {
    unsigned long length = text.length();
    if (length > MAX_TEXT_LENGTH) return false;
    const unsigned char* s = text;
    for (unsigned long i = 0; i < length;) {
        unsigned int codePoint;
        int n = decodeUtf8(s + i, length - i, codePoint);
        if (n == 0 || !xmlIsCharQ(codePoint)) return false;
        i += n;
    }
    return true;
}

int elementDepth(const xmlNode* node) {
    int depth = 0;
    for (; node && node->type == XML_ELEMENT_NODE; node = node->parent)
        ++depth;
    return depth;
}

bool canHoldNewElements(const xmlNode* parent, unsigned int count) {
    if (parent->type == XML_DOCUMENT_NODE)
        return !xmlDocGetRootElement(reinterpret_cast<const xmlDoc*>(parent)) && count == 1;
    if (parent->type != XML_ELEMENT_NODE || elementDepth(parent) >= MAX_TREE_DEPTH) return false;
    const xmlNs* defaultNamespace = xmlSearchNs(parent->doc, const_cast<xmlNode*>(parent), nullptr);
    return !defaultNamespace || !defaultNamespace->href || !defaultNamespace->href[0];
}

bool isTreeNode(const xmlNode* node) {
    return node && node->type != XML_NAMESPACE_DECL && node->type != XML_DOCUMENT_NODE &&
           node->type != XML_HTML_DOCUMENT_NODE;
}

namespace {

bool contains(const XString& text, const char* needle) {
    return std::strstr(reinterpret_cast<const char*>(static_cast<const unsigned char*>(text)),
                       needle) != nullptr;
}

}  // namespace

bool canCarryRawText(xmlElementType type, const XString& text) {
    switch (type) {
        case XML_COMMENT_NODE:
            return !contains(text, "--") && (text.length() == 0 || text[text.length() - 1] != '-');
        case XML_CDATA_SECTION_NODE:
            return !contains(text, "]]>");
        case XML_PI_NODE:
            return !contains(text, "?>");
        default:
            return true;
    }
}
