// XPath evaluation on the store's document and node counting: every
// evaluation of the query, the set engine and deletion goes through here,
// each in a fresh context unless the caller hands one in.
#include <libxml/xpath.h>

#include "xmlloaderimpl.h"

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
    object = xmlXPathEvalExpression(expression, context);
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
