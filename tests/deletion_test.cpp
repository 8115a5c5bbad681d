// Path deletion: what goes, what the result says, and node-sets that hold a
// node together with its descendants, the document node or namespace nodes.
#include <gtest/gtest.h>

#include "store.h"

namespace {

const char* const DOC =
    "<config xmlns:p=\"urn:p\"><a id=\"1\" k=\"v\"><b>x</b></a><i/><i/><i/></config>";

TEST(Deletion, ResultsAndRemainingDocument) {
    struct Case {
        const char* path;
        bool result;
        const char* after;
    } cases[] = {
        {"/config/a", true, "<config xmlns:p=\"urn:p\"><i/><i/><i/></config>"},
        {"/config/a/@id", true,
         "<config xmlns:p=\"urn:p\"><a k=\"v\"><b>x</b></a><i/><i/><i/></config>"},
        {"/config/a/b/text()", true,
         "<config xmlns:p=\"urn:p\"><a id=\"1\" k=\"v\"><b/></a><i/><i/><i/></config>"},
        {"/config/i", false, "<config xmlns:p=\"urn:p\"><a id=\"1\" k=\"v\"><b>x</b></a></config>"},
        {"/config/none", false, DOC},
        {"count(/config/i)", false, DOC},
        {"/config/[", false, DOC},
        // Nested selections: descendants go with their ancestors.
        {"//*", false, nullptr},
        {"//node()", false, nullptr},
        {"/config/a | /config/a/b", false, "<config xmlns:p=\"urn:p\"><i/><i/><i/></config>"},
        {"/config", true, nullptr},
        // The document node is the store's own: deleting it removes nothing.
        {"/", false, DOC},
        {"/ | /config/i[1]", false,
         "<config xmlns:p=\"urn:p\"><a id=\"1\" k=\"v\"><b>x</b></a><i/><i/></config>"},
        // Namespace nodes belong to the result, not the tree.
        {"//namespace::*", false, DOC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        XMLLoader store = storeFrom(DOC);
        EXPECT_EQ(store.deletePath(c.path), c.result);
        if (c.after) {
            EXPECT_EQ(store, storeFrom(c.after));
        } else {
            std::vector<std::string> values;
            EXPECT_TRUE(store.getVector("/*", values, 0));
            EXPECT_TRUE(values.empty()) << "the root element is gone";
        }
    }
}

TEST(Deletion, DocumentStaysUsableAfterDeletingEverything) {
    XMLLoader store = storeFrom(DOC);
    store.deletePath("//node()");
    ASSERT_TRUE(store.setOrCreateVector("/config/a", std::vector<std::string>{"v"}));
    EXPECT_EQ(store, storeFrom("<config><a>v</a></config>"));
}

}  // namespace
