// Node creation on its own: the element a final equality condition names,
// where it goes, what it carries, the plain paths it hands to the set
// engine, and the lines it writes when it cannot create.
#include <gtest/gtest.h>

#include <libxml/parser.h>

#include <string>
#include <vector>

#include "capture.h"
#include "store.h"
#include "xmlloaderimpl.h"

namespace {

using Lines = std::vector<std::string>;

// A bare implementation object holding the document parsed from xml, or
// the empty document of a missing file for null.
void loadInto(XMLLoaderImpl& impl, const char* xml) {
    xmlFreeDoc(impl.doc);
    impl.doc = xml ? xmlReadMemory(xml, static_cast<int>(std::string(xml).size()), nullptr, nullptr,
                                   XML_PARSE_NOBLANKS)
                   : xmlNewDoc(BAD_CAST "1.0");
    ASSERT_NE(impl.doc, nullptr);
}

std::string dump(const XMLLoaderImpl& impl) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemory(impl.doc, &text, &size);
    XmlCharPtr owner(text);
    return std::string(reinterpret_cast<const char*>(text), size);
}

std::string dumpOf(const char* xml) {
    XMLLoaderImpl impl;
    loadInto(impl, xml);
    return dump(impl);
}

std::string nested(int depth, const std::string& inner) {
    std::string xml;
    for (int i = 0; i < depth; ++i)
        xml += "<e>";
    xml += inner;
    for (int i = 0; i < depth; ++i)
        xml += "</e>";
    return xml;
}

std::string nestedPath(int depth) {
    std::string path;
    for (int i = 0; i < depth; ++i)
        path += "/e";
    return path;
}

// Runs createNode with its level ERR lines captured.
bool create(XMLLoaderImpl& impl, const std::string& path, Lines& errors) {
    bool result = false;
    TraceLevel levels(LOG_ERR);
    errors = logLines(captureStdout([&] { result = impl.createNode(XString(path)); }));
    return result;
}

TEST(NodeCreation, ConditionalPaths) {
    const std::string deep = nested(255, "");
    const std::string deepPath = nestedPath(255);
    struct Case {
        std::string doc;  // empty: no document element
        std::string path;
        bool result;
        std::string after;  // empty: unchanged
        Lines errors;
    } cases[] = {
        {"<a/>", "/a/b[c=\"x\"]", true, "<a><b><c>x</c></b></a>", {}},
        {"<a><b/></a>", "/a/b[c=\"x\"]", true, "<a><b/><b><c>x</c></b></a>", {}},
        {"<a/>", "/a/b[@id=\"7\"]", true, "<a><b id=\"7\"/></a>", {}},
        {"<a/>", "/a/b[ @id = 7 ]", true, "<a><b id=\"7\"/></a>", {}},
        {"<a/>", "/a/b[c='x']", true, "<a><b><c>x</c></b></a>", {}},
        {"<a/>", "/a/b[c=\"x & <y>\"]", true, "<a><b><c>x &amp; &lt;y&gt;</c></b></a>", {}},
        {"<a/>", "/a/b[@xml:lang=\"en\"]", true, "<a><b xml:lang=\"en\"/></a>", {}},
        {"<r><a/><a/></r>", "/r/a/b[c=\"x\"]", true, "<r><a><b><c>x</c></b></a><a/></r>", {}},
        {"", "/a/b[c=\"x\"]", true, "<a><b><c>x</c></b></a>", {}},
        {"<a/>", "/b[c=\"x\"]", false, "", {"   ERR| Attempt to create a new root node!"}},
        {"<a/>",
         "b[c=\"x\"]",
         false,
         "",
         {"   ERR| '/' not found in string: b", "   ERR| --failed to split the valid path: b"}},
        {"<r/>",
         "/a/b[c=\"x\"]",
         false,
         "",
         {"   ERR| Document has another root element than: a",
          "   ERR| --failed to create parent: /a"}},
        {"<a x=\"1\"/>",
         "/a/@x/b[c=\"1\"]",
         false,
         "",
         {"   ERR| Failed to create child node:b", "   ERR| Failed to create child node:c=1"}},
        // The new element would be the deepest the parser reads; its child
        // would be one deeper. The element stays without it.
        {deep,
         deepPath + "/b[c=\"1\"]",
         false,
         nested(255, "<b/>"),
         {"   ERR| Failed to create child node:c=1"}},
        {deep, deepPath + "/b[@c=\"1\"]", true, nested(255, "<b c=\"1\"/>"), {}},
        // Names that are not XML names never become nodes.
        {"<a/>",
         "/a/b[.=\"x\"]",
         false,
         "",
         {"   ERR| Not an XML name in condition path: /a/b[.=\"x\"]"}},
        {"<a/>",
         "/a/b[text()=\"x\"]",
         false,
         "",
         {"   ERR| Not an XML name in condition path: /a/b[text()=\"x\"]"}},
        {"<a/>",
         "/a/b[c/d=\"x\"]",
         false,
         "",
         {"   ERR| Not an XML name in condition path: /a/b[c/d=\"x\"]"}},
        {"<a/>",
         "/a/b[@xmlns=\"x\"]",
         false,
         "",
         {"   ERR| Not an XML name in condition path: /a/b[@xmlns=\"x\"]"}},
        {"<a/>",
         "/a/b[1][c=\"x\"]",
         false,
         "",
         {"   ERR| Not an XML name in condition path: /a/b[1][c=\"x\"]"}},
        {"<a/>",
         "/a/b[c=\"\x01\"]",
         false,
         "",
         {"   ERR| Condition value cannot be stored in XML: /a/b[c=\"\x01\"]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(c.path.size() > 40 ? c.path.size() - 40 : 0) + " on " +
                     c.doc.substr(0, 40));
        XMLLoaderImpl impl;
        loadInto(impl, c.doc.empty() ? nullptr : c.doc.c_str());
        const std::string before = dump(impl);
        Lines errors;
        EXPECT_EQ(create(impl, c.path, errors), c.result);
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(dump(impl), c.after.empty() ? before : dumpOf(c.after.c_str()));
    }
}

// A missing parent of a conditional path is made through the set engine.
TEST(NodeCreation, MissingParentIsCreatedFirst) {
    XMLLoaderImpl impl;
    loadInto(impl, "<config/>");
    std::string out;
    {
        TraceLevel levels(LOG_T);
        out = captureStdout([&] { EXPECT_TRUE(impl.createNode(XString("/config/a/b[c=\"x\"]"))); });
    }
    Lines lines = logLines(out);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "     T| --creating parent of conditional node"),
        lines.end());
    EXPECT_EQ(dump(impl), dumpOf("<config><a><b><c>x</c></b></a></config>"));
}

// Other paths go to the set engine with one blank value, and succeed when
// the path then selects exactly one node.
TEST(NodeCreation, PlainPaths) {
    struct Case {
        const char* doc;
        const char* path;
        bool result;
        const char* after;  // null: unchanged
    } cases[] = {
        {"<a/>", "/a/b", true, "<a><b/></a>"},
        {"<a><b>x</b><b>y</b></a>", "/a/b", true, "<a><b/></a>"},
        {"<a><b/></a>", "/a/b[c=\"x\"]/d", true, "<a><b/><b><c>x</c><d/></b></a>"},
        {"<a><b/></a>", "/a/b[2]", false, nullptr},
        {"<a/>", "/a/text()", false, nullptr},
        {"<a/>", "a", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        XMLLoaderImpl impl;
        loadInto(impl, c.doc);
        EXPECT_EQ(impl.createNode(XString(c.path)), c.result);
        EXPECT_EQ(dump(impl), dumpOf(c.after ? c.after : c.doc));
    }
}

}  // namespace
