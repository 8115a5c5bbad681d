// The store's life: loading (or creating) a document, copies, equality,
// the library's start-up and clean-up, and counting nodes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>

#include "capture.h"
#include "run.h"
#include "store.h"
#include "xmlloaderimpl.h"

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(Lifecycle, MissingFileLoadsOnlyWhenCreating) {
    TempDir dir;
    std::string name = dir.file("conf.xml");
    XMLLoader store(name);
    EXPECT_FALSE(store.loadFile(false));
    EXPECT_TRUE(store == XMLLoader()) << "no document after a failed load";

    ASSERT_TRUE(store.loadFile(true));
    std::vector<std::string> values;
    EXPECT_TRUE(store.getVector("/*", values, 0));
    EXPECT_TRUE(values.empty()) << "no root element";
    EXPECT_FALSE(exists(name)) << "the file is written only by saveFile";
    ASSERT_TRUE(store.saveFile());
    EXPECT_EQ(readWhole(name), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

TEST(Lifecycle, MalformedFileNeverBecomesAnEmptyDocument) {
    TempDir dir;
    std::string name = dir.file("broken.xml");
    writeWhole(name, "<config><a></config>");
    XMLLoader store(name);
    EXPECT_FALSE(store.loadFile(true));
    EXPECT_EQ(readWhole(name), "<config><a></config>");
}

TEST(Lifecycle, FailedSecondLoadLeavesNoDocument) {
    TempDir dir;
    std::string name = dir.file("c.xml");
    writeWhole(name, "<config/>");
    XMLLoader store(name);
    ASSERT_TRUE(store.loadFile(false));
    writeWhole(name, "not xml");
    EXPECT_FALSE(store.loadFile(false));
    std::vector<std::string> values;
    EXPECT_FALSE(store.getVector("/config", values, 0));
    EXPECT_FALSE(store.saveFile());
}

TEST(Lifecycle, SaveWithoutDocumentFails) {
    TempDir dir;
    XMLLoader store(dir.file("none.xml"));
    EXPECT_FALSE(store.saveFile());
    EXPECT_FALSE(exists(dir.file("none.xml")));
}

TEST(Lifecycle, NullFileNameThrows) {
    EXPECT_THROW(XMLLoader(static_cast<const char*>(nullptr)), std::logic_error);
}

TEST(Lifecycle, ParserStartsOnceAndCleansUpOnce) {
    TraceLevel levels(LOG_T);
    std::string out = captureStdout([] {
        auto first = std::make_unique<XMLLoader>("a.xml");
        auto second = std::make_unique<XMLLoader>("b.xml");
        first.reset();
        second.reset();
    });
    std::vector<std::string> lines = logLines(out);
    EXPECT_EQ(lines, (std::vector<std::string>{"     T| First instance, initialising parser",
                                               "     T| Last instance, cleaning up parser"}));
}

TEST(Lifecycle, CopiesAreDeep) {
    XMLLoader original = storeFrom("<config><a>1</a><b>2</b></config>", "orig.xml");
    XMLLoader copy(original);
    ASSERT_TRUE(copy.deletePath("/config/a"));
    EXPECT_EQ(original, storeFrom("<config><a>1</a><b>2</b></config>"));
    EXPECT_EQ(copy, storeFrom("<config><b>2</b></config>"));

    XMLLoader assigned = storeFrom("<other/>");
    assigned = original;
    EXPECT_EQ(assigned, original);
    ASSERT_TRUE(assigned.deletePath("/config/b"));
    EXPECT_EQ(original, storeFrom("<config><a>1</a><b>2</b></config>"));
}

TEST(Lifecycle, AssignedStoreTakesTheSourceFileName) {
    TempDir dir;
    XMLLoader source = storeFrom("<config/>", dir.file("source.xml"));
    XMLLoader target(dir.file("target.xml"));
    target = source;
    ASSERT_TRUE(target.saveFile());
    EXPECT_TRUE(exists(dir.file("source.xml")));
    EXPECT_FALSE(exists(dir.file("target.xml")));
}

TEST(Lifecycle, EqualityComparesWholeDocuments) {
    struct Case {
        const char* left;  // nullptr: no document
        const char* right;
        bool equal;
    } cases[] = {
        {nullptr, nullptr, true},
        {nullptr, "<a/>", false},
        {"<a/>", nullptr, false},
        {"<a>x</a>", "<a>x</a>", true},
        {"<a>x</a>", "<a>y</a>", false},
        // One serialisation beginning with the other is not the same document.
        {"<a/>", "<a/><!--more-->", false},
        {"<a/><!--more-->", "<a/>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.left ? c.left : "(none)") + " vs " +
                     (c.right ? c.right : "(none)"));
        XMLLoader left = c.left ? storeFrom(c.left) : XMLLoader();
        XMLLoader right = c.right ? storeFrom(c.right) : XMLLoader();
        EXPECT_EQ(left == right, c.equal);
        EXPECT_EQ(right == left, c.equal);
    }
}

TEST(Lifecycle, LoadArrayReplacesTheDocumentAndKeepsTheName) {
    XMLLoader store = storeFrom("<a/>");
    const std::string broken = "<a>";
    EXPECT_FALSE(store.loadArray(broken.data(), static_cast<unsigned int>(broken.size())));
    EXPECT_EQ(store, XMLLoader());
}

class CountNodes : public ::testing::Test {
protected:
    CountNodes() {
        impl.doc = xmlReadMemory("<r><i/><i/><i/></r>", 20, nullptr, nullptr, XML_PARSE_NOBLANKS);
    }
    XMLLoaderImpl impl;
};

TEST_F(CountNodes, CountsNodeSetsOnly) {
    struct Case {
        const char* expression;
        unsigned int count;
        bool errorLogged;
    } cases[] = {
        {"/r/i", 3, false},        {"/r", 1, false},   {"/r/none", 0, false},
        {"count(/r/i)", 0, false}, {"/r/i[", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        TraceLevel levels(LOG_ERR);
        unsigned int count = 0;
        std::string out = captureStdout([&] { count = impl.countNodes(XString(c.expression)); });
        EXPECT_EQ(count, c.count);
        std::vector<std::string> expected;
        if (c.errorLogged)
            expected.push_back(std::string("   ERR| Failed to evaluate expression ") +
                               c.expression);
        EXPECT_EQ(logLines(out), expected);
    }
}

TEST_F(CountNodes, EvaluationHandsOverContextAndResult) {
    xmlXPathContextPtr context = nullptr;
    xmlXPathObjectPtr object = nullptr;
    ASSERT_TRUE(impl.evalToContextAndObj(XString("/r/i"), context, object));
    ASSERT_NE(context, nullptr);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->nodesetval->nodeNr, 3);
    xmlXPathFreeObject(object);

    // A context handed in is reused; on failure it is freed and cleared.
    EXPECT_FALSE(impl.evalToContextAndObj(XString("]["), context, object));
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
