// XPath evaluation on the store's document and node counting: every
// evaluation of the query, the set engine and deletion goes through here,
// each in a fresh context unless the caller hands one in.
#include <libxml/pattern.h>
#include <libxml/xmlstring.h>
#include <libxml/xpath.h>

#include "xmlloaderimpl.h"

namespace {

constexpr int MAX_PATH_STEPS = 256;

// The library evaluates a plain child path (no predicate, function or
// attribute) by streaming over every node of the document down to the
// path's depth, where the ordinary evaluator follows only the children on
// the path: on a large file that is several times slower for the paths a
// configuration script names. A parenthesised expression selects the same
// nodes and always takes the ordinary evaluator. Descendant paths (//) are
// faster streamed and are left alone, and so is anything the pattern
// compiler rejects, so that the library reports errors in the text as given,
// and paths of more steps than a document read from a file can have, which
// the ordinary evaluator's recursion limit would refuse.
bool isStreamedChildPath(const XString& expression) {
    const xmlChar* text = expression;
    if (xmlStrchr(text, '[') || xmlStrchr(text, '(') || xmlStrchr(text, '@') ||
        xmlStrstr(text, BAD_CAST "//"))
        return false;
    int steps = 0;
    for (const xmlChar* c = text; *c; ++c)
        if (*c == '/' && ++steps > MAX_PATH_STEPS) return false;
    xmlPatternPtr pattern = xmlPatterncompile(text, nullptr, XML_PATTERN_XPATH, nullptr);
    bool streamed = pattern && xmlPatternStreamable(pattern) == 1;
    xmlFreePattern(pattern);
    return streamed;
}

XString evaluable(const XString& expression) {
    return isStreamedChildPath(expression) ? "(" + expression + ")" : expression;
}

}  // namespace

bool XMLLoaderImpl::evalToContextAndObj(const XString& expression, xmlXPathContextPtr& context,
                                        xmlXPathObjectPtr& object) const {
    auto trace = logger.getFunctor<Logger::Id>("evalToContextAndObj");
    object = nullptr;
    // Without a document there is nothing to evaluate against.
    if (!doc) {
        trace(LOG_ERR, "No document to evaluate " + expression.stringValue(""));
        return false;
    }
    if (!context) context = xmlXPathNewContext(doc);
    if (!context) {
        trace(LOG_ERR, "Could not create xpath context");
        return false;
    }
    object = xmlXPathEvalExpression(evaluable(expression), context);
    if (object) return true;
    trace(LOG_ERR, "Failed to evaluate expression " + expression.stringValue(""));
    xmlXPathFreeContext(context);
    context = nullptr;
    return false;
}

bool XMLLoaderImpl::evaluate(const XString& expression, Evaluation& evaluation) const {
    xmlXPathContextPtr context = evaluation.context.release();
    xmlXPathObjectPtr object = nullptr;
    bool ok = evalToContextAndObj(expression, context, object);
    evaluation.context.reset(context);
    evaluation.object.reset(object);
    return ok;
}

unsigned int XMLLoaderImpl::countNodes(const XString& expression) const {
    auto trace = logger.getFunctor<Logger::Id>("countNodes");
    trace(LOG_T, "Counting: " + expression.stringValue(""));
    Evaluation evaluation;
    if (!evaluate(expression, evaluation)) return 0;
    return evaluation.count();
}
