// The set engine through the store's interface: what a call stores, creates
// and removes, compared on the whole saved document; that a failed call
// leaves the document as it was; the engine's own trace lines; literal
// values; and the limits of names, text and depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture.h"
#include "run.h"
#include "store.h"

namespace {

using Values = std::vector<std::string>;

bool setValues(XMLLoader& store, const std::string& path, const Values& values) {
    std::vector<XString> converted(values.begin(), values.end());
    return store.setOrCreateVectorImpl(XString(path), converted,
                                       std::vector<bool>(values.size(), true));
}

// One row: a document (null: none, as for a missing file), the call, its
// result and the whole document afterwards (null: unchanged).
struct Case {
    const char* doc;
    const char* path;
    Values values;
    bool result;
    const char* after;
};

// Stores bound to files in one temporary directory, so that a document can
// be compared as the store writes it.
class SetEngine : public ::testing::Test {
protected:
    // The document parsed from xml, or, for null, the empty document a set
    // on a missing file starts from.
    XMLLoader load(const char* xml, const std::string& name = "doc.xml") {
        if (xml) return storeFrom(xml, dir.file(name));
        std::remove(dir.file(name).c_str());
        XMLLoader store(dir.file(name));
        EXPECT_TRUE(store.loadFile(true));
        return store;
    }
    std::string saved(const XMLLoader& store, const std::string& name = "doc.xml") {
        EXPECT_TRUE(store.saveFile());
        return readWhole(dir.file(name));
    }
    std::string expected(const char* xml) {
        return saved(load(xml, "expected.xml"), "expected.xml");
    }

    void expectCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.path) + " on " + (c.doc ? c.doc : "no document"));
            XMLLoader store = load(c.doc);
            EXPECT_EQ(setValues(store, c.path, c.values), c.result);
            EXPECT_EQ(saved(store), expected(c.after ? c.after : c.doc));
        }
    }

    TempDir dir;
};

TEST_F(SetEngine, CreatesWhatThePathNames) {
    expectCases({
        {nullptr, "/config/a/b", {"v"}, true, "<config><a><b>v</b></a></config>"},
        {nullptr,
         "/config/item[@id=7]/value",
         {"v"},
         true,
         "<config><item id=\"7\"><value>v</value></item></config>"},
        {nullptr,
         "/config/item[@id=\"7\"]/value",
         {"v"},
         true,
         "<config><item id=\"7\"><value>v</value></item></config>"},
        {nullptr,
         "/config/item[name = \"n\"]/value",
         {"v"},
         true,
         "<config><item><name>n</name><value>v</value></item></config>"},
        {"<config><x/></config>",
         "/config/item[@id=7]",
         {"v"},
         true,
         "<config><x/><item id=\"7\">v</item></config>"},
        // The element that node creation adds beside an existing match is
        // the surplus one.
        {"<config><item id=\"7\">old</item><x/></config>",
         "/config/item[@id=7]",
         {"v"},
         true,
         "<config><item id=\"7\">v</item><x/></config>"},
        {nullptr, "/config/a/@attr", {"v"}, true, "<config><a attr=\"v\"/></config>"},
        {"<config><a x=\"1\"/></config>",
         "/config/a/@attr",
         {"v"},
         true,
         "<config><a x=\"1\" attr=\"v\"/></config>"},
        {"<config><a attr=\"o\" x=\"1\"/></config>",
         "/config/a/@attr",
         {"v"},
         true,
         "<config><a attr=\"v\" x=\"1\"/></config>"},
        // Missing ancestors go under the first node of the deepest path
        // that exists.
        {"<config><s/><s><a/></s></config>",
         "/config/s/a/b/c",
         {"v"},
         true,
         "<config><s/><s><a><b><c>v</c></b></a></s></config>"},
        {"<config><s/><s/></config>",
         "/config/s/a/b",
         {"1", "2"},
         true,
         "<config><s><a><b>1</b><b>2</b></a></s><s/></config>"},
        {"<config><item>old<b/></item></config>",
         "/config/item",
         {"1", "2"},
         true,
         "<config><item>1</item><item>2</item></config>"},
        {"<config><item>1</item><item>2</item><item>3</item></config>",
         "/config/item",
         {"v"},
         true,
         "<config><item>v</item></config>"},
        {"<config><item id=\"1\" k=\"a\"/><item id=\"2\" k=\"b\"/></config>",
         "/config/item/@id",
         {"x", "y"},
         true,
         "<config><item k=\"a\" id=\"x\"/><item k=\"b\" id=\"y\"/></config>"},
        // The whole content of a found element goes, the root's included.
        {"<config><a>t<b/></a></config>", "/config", {"v"}, true, "<config>v</config>"},
        {"<config>t<!--c--><a/></config>",
         "/config/text()",
         {"u"},
         true,
         "<config>u<!--c--><a/></config>"},
        {"<config><!--c--></config>",
         "/config/comment()",
         {"d"},
         true,
         "<config><!--d--></config>"},
        // The xml prefix is bound in every document.
        {"<config><a/></config>",
         "/config/a/@xml:lang",
         {"en"},
         true,
         "<config><a xml:lang=\"en\"/></config>"},
        {"<config><a xml:lang=\"de\" x=\"1\"/></config>",
         "/config/a/@xml:lang",
         {"en"},
         true,
         "<config><a xml:lang=\"en\" x=\"1\"/></config>"},
    });
}

TEST_F(SetEngine, BlankAndZeroValues) {
    expectCases({
        {"<config/>", "/config/x", {""}, true, "<config><x/></config>"},
        {"<config><x>t<y/></x></config>", "/config/x", {""}, true, "<config><x/></config>"},
        {"<config><x/></config>", "/config/x/@a", {""}, true, "<config><x a=\"\"/></config>"},
        {"<config><item/><item/><x/></config>", "/config/item", {}, true, "<config><x/></config>"},
        {"<config><x/></config>", "/config/item", {}, true, nullptr},
        {"<config><x/></config>", "/config", {}, false, nullptr},
        {nullptr, "/config/a", {}, true, "<config/>"},
        {"<config><item id=\"1\"/><item id=\"2\"/><x/></config>",
         "/config/item/@id",
         {},
         true,
         "<config><x/></config>"},
    });
}

TEST_F(SetEngine, FlagsPickTheValues) {
    XMLLoader store = load("<config/>");
    std::vector<XString> values{XString("a"), XString("b"), XString("c")};
    ASSERT_TRUE(store.setOrCreateVectorImpl(XString("/config/x"), values, {true, false, true}));
    EXPECT_EQ(saved(store), expected("<config><x>a</x><x>c</x></config>"));
}

TEST_F(SetEngine, FacadeTurnsANullElementIntoABlankValue) {
    XMLLoader store = load("<config><x>old</x></config>");
    char value[] = "v";
    ASSERT_TRUE(store.setOrCreateVector("/config/x", std::vector<char*>{nullptr, value}));
    EXPECT_EQ(saved(store), expected("<config><x/><x>v</x></config>"));
}

// What the engine would make the tree hold but a saved file could not carry
// or the program could not read back, and paths it cannot bring about: each
// call fails and the document is exactly as it was, also where the call
// had already created or removed nodes before it failed.
TEST_F(SetEngine, FailuresLeaveTheDocumentAsItWas) {
    const char* items = "<config><item id=\"1\">a</item><x k=\"1\"><y/></x></config>";
    expectCases({
        {nullptr, "item", {"v"}, false, nullptr},
        {items, "item", {"v"}, false, nullptr},
        {nullptr, "/config", {"1", "2"}, false, nullptr},
        // The root element stays the root element.
        {items, "/other", {"v"}, false, nullptr},
        {items, "/other/a/b", {"v"}, false, nullptr},
        {items, "/other/item[@id=\"1\"]/v", {"v"}, false, nullptr},
        {"<config xmlns=\"urn:x\"><a/></config>", "/config/a", {"v"}, false, nullptr},
        {items, "//config", {}, false, nullptr},
        // A new element under a default namespace would join it in the file.
        {"<config xmlns=\"urn:x\"><a/></config>", "/*/b", {"v"}, false, nullptr},
        // Names that are no XML names.
        {items, "/config/item[2]", {"v"}, false, nullptr},
        {items, "/config/text()", {"v"}, false, nullptr},
        {items, "/config/*", {"v", "w", "z"}, false, nullptr},
        {items, "/config/a:b", {"v"}, false, nullptr},
        {items, "/config/x/@*", {"v"}, false, nullptr},
        {items, "/config/x/@a:b", {"v"}, false, nullptr},
        {items, "/config/x/@xmlns", {"v"}, false, nullptr},
        {items, "/config/x/@", {"v"}, false, nullptr},
        {items, "/config/item[.=\"x\"]", {"v"}, false, nullptr},
        {items, "/config/item[text()=\"x\"]", {"v"}, false, nullptr},
        {items, "/config/item[c/d=\"x\"]", {"v"}, false, nullptr},
        {items, "/config/item[@*=\"x\"]", {"v"}, false, nullptr},
        {items, "/config/item[1][@id=\"2\"]", {"v"}, false, nullptr},
        {nullptr, "/config/item[.=\"x\"]/v", {"v"}, false, nullptr},
        // The element node creation adds is not selected by the condition:
        // the retry ends, and the element goes again.
        {items, "/config/item[c=x]/v", {"v"}, false, nullptr},
        {items, "/config/item[c=x]", {"v"}, false, nullptr},
        {nullptr, "/config/item[@id=\" 1\"]/v", {"v"}, false, nullptr},
        // Several values for a condition: the second has no name to go by.
        {items, "/config/item[@id=\"2\"]", {"v", "w"}, false, nullptr},
        // Attributes already replaced when a parent turns out to hold none.
        {"<config><x>t<y a=\"1\" b=\"2\"/></x></config>",
         "/config/x/node()/@a",
         {"v", "w"},
         false,
         nullptr},
        // A node-set holding an element and its descendant.
        {"<config><x><x/></x><x/></config>", "//x", {"v"}, false, nullptr},
        {"<config><x><x/></x><x/></config>", "//x", {}, false, nullptr},
        // Nodes that cannot hold the value.
        {"<config><!--c--></config>", "/config/comment()", {"a--b"}, false, nullptr},
        {"<config><!--c--></config>", "/config/comment()", {"a-"}, false, nullptr},
        {"<config><?p d?></config>", "/config/processing-instruction()", {"?>"}, false, nullptr},
        {items, "/", {"v"}, false, nullptr},
        {items, "/config/x/@k/y", {"v"}, false, nullptr},
        {items, "/config/[", {"v"}, false, nullptr},
    });
}

TEST_F(SetEngine, ValuesXmlCannotHoldChangeNothing) {
    const char* doc = "<config><a x=\"1\">old</a></config>";
    const std::string bad[] = {
        "a\x01"
        "b",
        "\x1f",
        "caf\xe9",
        "\xc0\xaf",
        "\xed\xa0\x80",
        "\xef\xbf\xbe",
        "\xf4\x90\x80\x80",
        "\xff",
        "ok\xe2\x82",
    };
    const char* paths[] = {"/config/a",    "/config/b",           "/config/a/@x",
                           "/config/a/@y", "/config/c[@k=\"1\"]", "/config"};
    for (const std::string& value : bad) {
        for (const char* path : paths) {
            SCOPED_TRACE(std::string(path) + " = " + value);
            XMLLoader store = load(doc);
            EXPECT_FALSE(setValues(store, path, {"good", value}));
            EXPECT_FALSE(setValues(store, path, {value}));
            EXPECT_EQ(saved(store), expected(doc));
        }
        SCOPED_TRACE("condition value " + value);
        XMLLoader store = load(doc);
        EXPECT_FALSE(setValues(store, "/config/c[@k=\"" + value + "\"]/d", {"v"}));
        EXPECT_EQ(saved(store), expected(doc));
    }
}

// The parser reads no text node longer than ten million bytes back.
TEST_F(SetEngine, LongestValue) {
    const std::string longest(10000000, 'x');
    XMLLoader store = load("<config/>");
    EXPECT_FALSE(setValues(store, "/config/a", {longest + "x"}));
    ASSERT_TRUE(setValues(store, "/config/a", {longest}));
    ASSERT_TRUE(store.saveFile());
    XMLLoader reread(dir.file("doc.xml"));
    ASSERT_TRUE(reread.loadFile(false));
    Values values;
    ASSERT_TRUE(reread.getVector("/config/a", values, 0));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].size(), longest.size());
}

// Markup characters, entity-like text, spaces and line ends are stored as
// they are, in new and existing elements and attributes and the root.
TEST_F(SetEngine, ValuesAreStoredLiterally) {
    const char* values[] = {
        "AT&T",       "&amp;",      "&lt;x&gt;", "a & b;",         "&unknown;",
        "<a>\"'</a>", "  padded  ", "tab\there", "two\nlines\r\n", "caf\xc3\xa9 \xf0\x9f\x8c\x8d",
        " ",          "\n",         "]]>",       "&#65;"};
    const char* paths[] = {"/config/new", "/config/old", "/config/old/@new", "/config/old/@x",
                           "/config"};
    for (const char* value : values) {
        for (const char* path : paths) {
            SCOPED_TRACE(std::string(path) + " = " + value);
            XMLLoader store = load("<config><old x=\"1\">o</old></config>");
            ASSERT_TRUE(setValues(store, path, {value}));
            ASSERT_TRUE(store.saveFile());
            XMLLoader reread(dir.file("doc.xml"));
            ASSERT_TRUE(reread.loadFile(false));
            Values read;
            ASSERT_TRUE(reread.getVector(path, read, 0));
            EXPECT_EQ(read, Values{value});
        }
    }
}

// The attribute parents the engine keeps keep what they hold; only the
// surplus ones go.
TEST_F(SetEngine, AttributeParentsKeepTheirContent) {
    expectCases({
        {"<config><a>t<b/></a></config>",
         "/config/a/@x",
         {"1", "2"},
         true,
         "<config><a x=\"1\">t<b/></a><a x=\"2\"/></config>"},
        {"<config><a>t<b/></a><a>u</a><a>w</a></config>",
         "/config/a/@x",
         {"1", "2"},
         true,
         "<config><a x=\"1\">t<b/></a><a x=\"2\">u</a></config>"},
        {"<config><a>t<b/></a><a>u</a></config>",
         "/config/a/@x",
         {"1"},
         true,
         "<config><a x=\"1\">t<b/></a></config>"},
    });
}

TEST_F(SetEngine, NewElementsStayWithinTheDepthTheParserReads) {
    std::string path;
    for (int i = 0; i < 255; ++i)
        path += "/e";
    XMLLoader store = load(nullptr);
    ASSERT_TRUE(setValues(store, path, {"v"}));
    EXPECT_TRUE(setValues(store, path + "/f", {"v"}));
    const std::string full = saved(store);
    EXPECT_FALSE(setValues(store, path + "/f/g", {"v"}));
    EXPECT_FALSE(setValues(store, path + "/f/g/h/i", {"v"}));
    EXPECT_FALSE(setValues(store, path + "/f[c=\"1\"]", {"v"}));
    EXPECT_EQ(saved(store), full);
    EXPECT_TRUE(setValues(store, path + "/f[@c=\"1\"]", {"v"}));

    XMLLoader fresh = load(nullptr);
    EXPECT_FALSE(setValues(fresh, path + "/f/g/h", {"v"}));
    EXPECT_EQ(saved(fresh), expected(nullptr));
    std::string tooLong;
    for (int i = 0; i < 300; ++i)
        tooLong += "/e";
    EXPECT_FALSE(setValues(fresh, tooLong, {"v"}));
    EXPECT_EQ(saved(fresh), expected(nullptr));
}

// The document's ID table follows an xml:id whose value changes, and
// forgets one that goes.
TEST_F(SetEngine, IdentifiersFollowTheirValues) {
    XMLLoader store = load("<config><a xml:id=\"k1\"/><b/></config>");
    ASSERT_TRUE(setValues(store, "/config/a/@xml:id", {"k2"}));
    Values values;
    ASSERT_TRUE(store.getVector("id('k2')/@xml:id", values, 0));
    EXPECT_EQ(values, Values{"k2"});
    ASSERT_TRUE(store.getVector("id('k1')", values, 0));
    EXPECT_TRUE(values.empty());

    ASSERT_TRUE(setValues(store, "/config/a/@xml:id", {}));
    ASSERT_TRUE(store.getVector("id('k2')", values, 0));
    EXPECT_TRUE(values.empty());
    ASSERT_TRUE(setValues(store, "/config/b/@xml:id", {"k3"}));
    ASSERT_TRUE(store.getVector("id('k3')/@xml:id", values, 0));
    EXPECT_EQ(values, Values{"k3"});
}

// The engine's own lines at level T, in order.
TEST_F(SetEngine, TraceLines) {
    const char* const ENGINE_LINES[] = {
        "Creating new root node: ", "Adding '",
        "Removing nodes from: ", "Creating or removing parent nodes for "};
    struct TraceCase {
        const char* doc;
        const char* path;
        std::vector<std::string> lines;
        Values values = {"v"};
    } cases[] = {
        {nullptr,
         "/config/a/b",
         {"Creating new root node: config", "Adding 'a' nodes to: /config",
          "Adding 'b' nodes to: /config/a"}},
        {nullptr,
         "/config/a/@attr",
         {"Creating or removing parent nodes for /config/a/@attr", "Creating new root node: config",
          "Adding 'a' nodes to: /config", "Adding '@attr' nodes to: /config/a"}},
        {"<config><item id=\"7\"/></config>",
         "/config/item[@id=7]",
         {"Removing nodes from: /config/item"}},
        {"<config><item/><item/><item/></config>",
         "/config/item",
         {"Removing nodes from: /config"}},
        {"<config><item>old</item></config>",
         "/config/item",
         {"Adding 'item' nodes to: /config"},
         {"1", "2"}},
    };
    for (const TraceCase& c : cases) {
        SCOPED_TRACE(c.path);
        XMLLoader store = load(c.doc);
        std::string out;
        {
            TraceLevel levels(LOG_T);
            out = captureStdout([&] { EXPECT_TRUE(setValues(store, c.path, c.values)); });
        }
        std::vector<std::string> engine;
        for (const std::string& line : logLines(out)) {
            const std::string tag = "     T| ";
            ASSERT_EQ(line.compare(0, tag.size(), tag), 0) << line;
            const std::string message = line.substr(tag.size());
            for (const char* start : ENGINE_LINES)
                if (message.rfind(start, 0) == 0) engine.push_back(message);
        }
        EXPECT_EQ(engine, c.lines);
    }
}

// Failures are reported at level ERR with what went wrong.
TEST_F(SetEngine, FailureMessages) {
    struct MessageCase {
        const char* doc;
        const char* path;
        Values values;
        const char* message;
    } cases[] = {
        {"<config/>", "/other", {"v"}, "Document has another root element than: other"},
        {nullptr, "/config", {"1", "2"}, "Attempt to create >1 root nodes"},
        {"<config/>", "/config", {}, "Could not retrieve parent node: "},
        {"<config/>", "/config/item[2]", {"v"}, "Not an XML name: item[2]"},
        {"<config/>", "/config/a/@*", {"v"}, "Not an XML name: @*"},
        {"<config/>", "/config/a", {"\x01"}, "Value cannot be stored in XML at: /config/a"},
        {"<config/>",
         "/config/item[c=x]/v",
         {"v"},
         "Created parent is not selected by: /config/item[c=x]"},
        {"<config><x><x/></x></config>", "//x", {"v"}, "Nested nodes selected by: //x"},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.path);
        XMLLoader store = load(c.doc);
        std::string out;
        {
            TraceLevel levels(LOG_ERR);
            out = captureStdout([&] { EXPECT_FALSE(setValues(store, c.path, c.values)); });
        }
        std::vector<std::string> lines = logLines(out);
        EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("   ERR| ") + c.message),
                  lines.end())
            << out;
    }
}

// Names the parser would refuse when reading the file back are never
// written: one longer than it reads, and bytes that are not UTF-8, which the
// library's own name check lets through.
TEST_F(SetEngine, NamesThatCannotBeReadBackAreRefused) {
    const std::string longest(50000, 'n'), tooLong(50001, 'n');
    const std::string longestPath = "/r/" + longest, fits = "<r><" + longest + "/></r>";
    const std::string tooLongPaths[] = {"/r/" + tooLong, "/r/@" + tooLong,
                                        "/r/a[@" + tooLong + "=\"1\"]"};
    expectCases({
        {"<r/>", longestPath.c_str(), {""}, true, fits.c_str()},
        {"<r/>", tooLongPaths[0].c_str(), {"v"}, false, nullptr},
        {"<r/>", tooLongPaths[1].c_str(), {"v"}, false, nullptr},
        {"<r/>", tooLongPaths[2].c_str(), {"v"}, false, nullptr},
        {"<r/>", "/r/\x8a\x8a", {"v"}, false, nullptr},
        {nullptr, "/\x8a\x8a", {"v"}, false, nullptr},
        {nullptr, "/caf\xe9", {"v"}, false, nullptr},
    });
}

}  // namespace
