// Fuzz target: the set engine on a small document, with a path and values
// drawn from the input. Paths come either from a small grammar of steps,
// conditions and attribute steps, after which a query of the path must give
// exactly the values stored, or as raw bytes. In both cases a successful set
// must leave a document that parses again, and a failed one must leave the
// document exactly as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "support.h"
#include "xmlloaderimpl.h"

namespace {

// The documents the engine works on: none yet (a missing file in set
// mode), a bare root, repeated and nested elements, a default namespace,
// a document type with an entity and an ID attribute, and a namespace
// prefix.
const char* const DOCUMENTS[] = {
    nullptr,
    "<r/>",
    "<r><a id=\"1\">x</a><a id=\"2\"/><b><c>t</c></b></r>",
    "<r xmlns=\"urn:x\"><a/></r>",
    "<!DOCTYPE r [<!ENTITY e \"E\"><!ATTLIST a id ID #IMPLIED>]>"
    "<r>&e;<a id=\"k\">t&e;</a><!--c--><?p d?><![CDATA[z]]><b n=\"&e;\"/></r>",
    "<r xmlns:p=\"urn:p\"><p:a p:k=\"v\"/><a xml:lang=\"en\"/></r>",
};

const char* const STEPS[] = {"r", "a", "b", "c", "d", "p:a", "x"};
const char* const ATTRIBUTES[] = {"@id", "@n", "@xml:lang", "@p:k", "@k"};

// The same options as loading a file.
constexpr int PARSE_OPTIONS = XML_PARSE_NOBLANKS | XML_PARSE_COMPACT | XML_PARSE_NONET;

std::string serialise(xmlDoc* doc) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);
    XmlCharPtr owner(text);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

bool parsesAgain(const std::string& text) {
    XmlDocPtr doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, PARSE_OPTIONS));
    return doc != nullptr;
}

template <std::size_t N>
const char* pick(FuzzedDataProvider& input, const char* const (&choices)[N]) {
    return choices[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

// A path of element steps, perhaps ending in an attribute condition and
// perhaps in an attribute step: a set of such a path makes the path select
// the values' nodes. The attribute step differs from the condition's
// attribute, as storing a value there would undo the condition.
std::string grammarPath(FuzzedDataProvider& input) {
    std::string path;
    const int steps = input.ConsumeIntegralInRange(1, 5);
    for (int i = 0; i < steps; ++i)
        path += std::string("/") + (i == 0 && input.ConsumeBool() ? "r" : pick(input, STEPS));
    std::string condition;
    if (input.ConsumeBool()) {
        condition = pick(input, ATTRIBUTES);
        path += "[" + condition + (input.ConsumeBool() ? "=" : " = ");
        path += "\"" + input.ConsumeRandomLengthString(8) + "\"]";
    }
    const std::string attribute = input.ConsumeBool() ? pick(input, ATTRIBUTES) : "";
    if (!attribute.empty() && attribute != condition) path += "/" + attribute;
    return path;
}

std::vector<std::string> queryValues(const XMLLoaderImpl& store, const XString& path) {
    std::vector<XString> found;
    store.getVector(path, found, 0);
    std::vector<std::string> values;
    for (const XString& value : found)
        values.push_back(value.stringValue(""));
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::silenceLibrary();
    // Keeps the library started for the whole run: the last store to go
    // would otherwise clean it up after every input.
    static XMLLoaderImpl keeper;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const char* xml = pick(input, DOCUMENTS);
    const bool fromGrammar = input.ConsumeBool();
    const std::string path =
        fromGrammar ? grammarPath(input) : input.ConsumeRandomLengthString(256);
    std::vector<XString> values;
    std::vector<std::string> expected;
    // No values at a one-step path still creates the root element, by
    // design; the query invariant is checked from one value on.
    const int count = input.ConsumeIntegralInRange(fromGrammar ? 1 : 0, 3);
    for (int i = 0; i < count; ++i) {
        std::string value = input.ConsumeRandomLengthString(64);
        value = value.substr(0, value.find('\0'));
        values.emplace_back(value);
        expected.push_back(value);
    }

    XMLLoaderImpl store("");
    store.doc = xml ? xmlReadMemory(xml, static_cast<int>(std::strlen(xml)), nullptr, nullptr,
                                    PARSE_OPTIONS)
                    : xmlNewDoc(BAD_CAST "1.0");
    FUZZ_CHECK(store.doc != nullptr);
    const std::string before = serialise(store.doc);

    const XString xpath(path.substr(0, path.find('\0')));
    if (!store.setOrCreateVector(xpath, values, std::vector<bool>(values.size(), true))) {
        FUZZ_CHECK(serialise(store.doc) == before);
        return 0;
    }
    const std::string after = serialise(store.doc);
    // Storing no values may leave a document without a root element as it
    // was; any other success must leave one that a load reads back.
    const bool parses = parsesAgain(after) || (values.empty() && after == before);
    const bool selectsValues = !fromGrammar || queryValues(store, xpath) == expected;
    if (!parses || !selectsValues) {
        std::fprintf(stderr, "path [%s], %zu values, document before and after the set:\n%s\n%s\n",
                     path.c_str(), expected.size(), before.c_str(), after.c_str());
        for (const std::string& value : expected)
            std::fprintf(stderr, "value [%s]\n", value.c_str());
    }
    FUZZ_CHECK(parses);
    FUZZ_CHECK(selectsValues);
    return 0;
}
