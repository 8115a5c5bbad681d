// Node query: the value each kind of node gives, limits, and how the two
// layers treat the output vector.
#include <gtest/gtest.h>

#include "capture.h"
#include "store.h"
#include "xmlloaderimpl.h"

namespace {

const char* const DOC =
    "<r><a>1</a><b>2<c>3</c></b><e/><n x=\"7\"/><i>1</i><i>2</i><i>3</i>"
    "<i>4</i><i>5</i><!--note--></r>";

using Values = std::vector<std::string>;

TEST(Query, ValuesOfEachKindOfNode) {
    struct Case {
        const char* expression;
        Values values;
    } cases[] = {
        {"/r/a", {"1"}},
        {"/r/b", {"2 3"}},
        {"/r/b/text()", {"2"}},
        {"/r/n/@x", {"7"}},
        {"/r/e", {""}},
        {"/r/comment()", {""}},
        {"/r/i", {"1", "2", "3", "4", "5"}},
        {"/r/a | /r/b/c", {"1", "3"}},
        {"/r/missing", {}},
        {"count(/r/i)", {}},
        {"string(/r/a)", {}},
        {"1 = 1", {}},
    };
    XMLLoader store = storeFrom(DOC);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        Values values{"stale"};
        EXPECT_TRUE(store.getVector(c.expression, values, 0));
        EXPECT_EQ(values, c.values);
    }
}

TEST(Query, RootJoinsChildrenWithOneSpace) {
    XMLLoader store = storeFrom("<r><a>1</a><b>2<c>3</c></b></r>");
    Values values;
    ASSERT_TRUE(store.getVector("/r", values, 0));
    EXPECT_EQ(values, Values{"1 23"});
}

TEST(Query, MaximumCountTakesTheFirstNodes) {
    XMLLoader store = storeFrom(DOC);
    struct Case {
        unsigned int maximum;
        std::size_t size;
    } cases[] = {{0, 5}, {1, 1}, {2, 2}, {5, 5}, {9, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximum);
        Values values;
        ASSERT_TRUE(store.getVector("/r/i", values, c.maximum));
        ASSERT_EQ(values.size(), c.size);
        for (std::size_t i = 0; i < c.size; ++i)
            EXPECT_EQ(values[i], std::to_string(i + 1));
    }
}

TEST(Query, RejectedExpressionGivesFalseAndNoValues) {
    XMLLoader store = storeFrom(DOC);
    TraceLevel levels(LOG_ERR);
    Values values{"old", "older"};
    bool ok = true;
    std::string out = captureStdout([&] { ok = store.getVector("/r/[", values, 0); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(logLines(out), Values{"   ERR| Failed to evaluate expression /r/["});
}

TEST(Query, ImplementationAppends) {
    XMLLoaderImpl impl;
    impl.doc = xmlReadMemory("<r><i>1</i><i>2</i></r>", 23, nullptr, nullptr, 0);
    std::vector<XString> values{XString("kept")};
    ASSERT_TRUE(impl.getVector(XString("/r/i"), values, 0));
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], XString("kept"));
    EXPECT_EQ(values[1], XString("1"));
    EXPECT_EQ(values[2], XString("2"));
}

TEST(Query, NamespaceNodesGiveTheirName) {
    XMLLoader store = storeFrom("<r xmlns:p=\"urn:p\"/>");
    Values values;
    ASSERT_TRUE(store.getVector("/r/namespace::p", values, 0));
    EXPECT_EQ(values, Values{"urn:p"});
}

// An entity reference is a child of its own, so it is joined to the text
// before it by one space like any other child.
TEST(Query, EntityReferencesReadAsTheirText) {
    XMLLoader store = storeFrom("<!DOCTYPE r [<!ENTITY e \"ee\">]><r>a&amp;b &e;</r>");
    Values values;
    ASSERT_TRUE(store.getVector("/r", values, 0));
    EXPECT_EQ(values, Values{"a&b  ee"});
}

}  // namespace
