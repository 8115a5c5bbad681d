/* The floor the command is measured against: exactly the XML library calls
 * that a get or a set of one value needs (library set-up, one parse of the
 * named file, one evaluation, printing or one content change and one
 * plain save), and nothing else: no checks, no locking, no safe save. */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

/* A text node gives its text; any other node its children's contents
 * joined by one space. */
static void printValue(xmlNode* node) {
    if (xmlNodeIsText(node)) {
        xmlChar* content = xmlNodeGetContent(node);
        fputs(content ? (const char*)content : "", stdout);
        xmlFree(content);
    } else {
        for (xmlNode* child = node->children; child; child = child->next) {
            xmlChar* content = xmlNodeGetContent(child);
            fputs(content ? (const char*)content : "", stdout);
            xmlFree(content);
            if (child->next) fputc(' ', stdout);
        }
    }
    fputc('\n', stdout);
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fputs("Usage: floor <file> <xpath> [value]\n", stdout);
        return 1;
    }
    xmlInitParser();
    xmlKeepBlanksDefault(0);
    *__xmlIndentTreeOutput() = 1;

    struct stat info;
    if (stat(argv[1], &info) != 0) return 1;
    xmlDoc* doc = xmlParseFile(argv[1]);
    if (!doc) return 1;
    xmlXPathContext* context = xmlXPathNewContext(doc);
    xmlXPathObject* result = xmlXPathEvalExpression((const xmlChar*)argv[2], context);
    if (!result) return 1;
    xmlNodeSet* nodes = result->nodesetval;
    int count = nodes ? nodes->nodeNr : 0;

    if (argc == 3) {
        for (int i = 0; i < count; ++i)
            printValue(nodes->nodeTab[i]);
        return fflush(stdout) == 0 ? 0 : 1;
    }
    if (count != 1) return 1;
    xmlNodeSetContent(nodes->nodeTab[0], (const xmlChar*)argv[3]);
    return xmlSaveFormatFileEnc(argv[1], doc, "UTF-8", 1) > 0 ? 0 : 1;
}
