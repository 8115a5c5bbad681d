// The path grammar of the set engine: splitting a path at its last "/" into
// parent path and last step, and a final equality condition "[key=value]"
// into the path before it, its key and its value. Plain byte scanners, each
// a fixed number of linear passes; evaluating XPath is left to evaluation.
#include "xmlloaderimpl.h"

namespace {

char const* const ENOSLASH = "'/' not found in string: ";
char const* const ENOOPENING = "']' found with no matching '[' in ";
char const* const ENONEQUALITY = "Non-equality condition found in 'set' path: ";

bool isBlank(unsigned char c) {
    return c == ' ';
}

// Users quote XPath literals either way, and '7' and "7" are one literal.
bool isQuote(unsigned char c) {
    return c == '"' || c == '\'';
}

// The key without the blanks around it.
XString trimKey(XString const& key) {
    unsigned long end = key.length();
    while (end > 0 && isBlank(key[end - 1]))
        --end;
    unsigned long begin = 0;
    while (begin < end && isBlank(key[begin]))
        ++begin;
    return key.substr(begin, end - begin);
}

// The value without the blanks around it and without at most one quote at
// each end, wherever that quote stands among the blanks. A quote inside the
// outer pair stays, so "'x'" keeps its single quotes.
XString trimValue(XString const& value) {
    unsigned long end = value.length();
    unsigned long begin = 0;
    for (bool quoteSeen = false; begin < end;) {
        if (!quoteSeen && isQuote(value[begin])) {
            quoteSeen = true;
            ++begin;
            continue;
        }
        if (!isBlank(value[begin])) break;
        ++begin;
    }
    for (bool quoteSeen = false; end > begin;) {
        if (!quoteSeen && isQuote(value[end - 1])) {
            quoteSeen = true;
            --end;
            continue;
        }
        if (!isBlank(value[end - 1])) break;
        --end;
    }
    return value.substr(begin, end - begin);
}

}  // namespace

// The pieces are taken before any output is assigned, so an output may be
// the path itself.
bool XMLLoaderImpl::splitPath(XString const& path, XString& parent, XString& last) {
    unsigned long slash = path.rfind("/", XString::npos);
    if (slash == XString::npos) {
        logger.trace("splitPath", LOG_ERR, ENOSLASH + path.stringValue(""));
        return false;
    }
    XString parentPart = path.substr(0, slash);
    XString lastPart = path.substr(slash + 1, XString::npos);
    parent = parentPart;
    last = lastPart;
    return true;
}

// Messages are written before the outputs are assigned, so that they show
// the path even when an output is the path itself.
bool XMLLoaderImpl::splitCondition(XString const& path, XString& name, XString& key,
                                   XString& value) {
    auto trace = logger.getFunctor<Logger::Id>("splitCondition");
    unsigned long length = path.length();
    if (length == 0) return false;
    if (path[length - 1] != ']') return false;

    unsigned long opening = path.rfind("[", XString::npos);
    if (opening == XString::npos) {
        trace(LOG_ERR, ENOOPENING + path.stringValue(""));
        value = XString();
        return false;
    }
    XString namePart = path.substr(0, opening);
    XString condition = path.substr(opening + 1, length - opening - 2);

    unsigned long equals = condition.rfind("=", XString::npos);
    if (equals == XString::npos) {
        trace(LOG_ERR, ENONEQUALITY + path.stringValue(""));
        name = namePart;
        value = XString();
        return false;
    }
    name = namePart;
    key = trimKey(condition.substr(0, equals));
    value = trimValue(condition.substr(equals + 1, XString::npos));
    return true;
}
