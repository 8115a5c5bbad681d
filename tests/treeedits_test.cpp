// The set engine's edit journal: edits made in a scope are undone exactly,
// whatever their mix and order, or kept on success; nested scopes leave the
// decision to the outermost; without a scope edits are final at once.
#include <gtest/gtest.h>

#include <libxml/parser.h>

#include <functional>
#include <string>

#include "treeedits.h"
#include "xmlloaderimpl.h"

namespace {

const char* const DOC =
    "<r>t1<a k=\"v\"><i/></a>t2<b x=\"1\" y=\"2\" z=\"3\" xml:id=\"id1\">in</b><!--c--><?p d?>"
    "<e/></r>";

std::string dump(xmlDoc* doc) {
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &text, &size);
    XmlCharPtr owner(text);
    return std::string(reinterpret_cast<const char*>(text), size);
}

XmlDocPtr parse(const char* xml) {
    return XmlDocPtr(xmlReadMemory(xml, static_cast<int>(std::string(xml).size()), nullptr, nullptr,
                                   XML_PARSE_NOBLANKS));
}

xmlNode* child(xmlNode* parent, int index) {
    xmlNode* node = parent->children;
    while (index-- > 0)
        node = node->next;
    return node;
}

xmlNode* attribute(xmlNode* element, const char* name) {
    return reinterpret_cast<xmlNode*>(xmlHasProp(element, BAD_CAST name));
}

// Edits of every kind, touching first, middle and last positions, text
// nodes between which a library insertion would merge, and nodes that
// earlier edits made or moved.
void editEverything(TreeEdits& edits, xmlDoc* doc) {
    xmlNode* r = xmlDocGetRootElement(doc);
    xmlNode* a = child(r, 1);
    xmlNode* b = child(r, 3);
    edits.remove(a);
    edits.remove(attribute(b, "y"));
    edits.remove(attribute(b, "x"));
    EXPECT_TRUE(edits.setText(attribute(b, "z"), XString("&amp; new")));
    EXPECT_TRUE(edits.setText(attribute(b, "id"), XString("id2")));
    EXPECT_TRUE(edits.setText(b, XString("<changed>")));
    EXPECT_TRUE(edits.setText(child(r, 0), XString("t&1")));
    EXPECT_TRUE(edits.setText(child(r, 3), XString("note")));
    EXPECT_TRUE(edits.setText(child(r, 4), XString("data")));
    xmlNode* made = edits.addElement(r, XString("n"), XString("x"));
    ASSERT_NE(made, nullptr);
    ASSERT_NE(edits.addAttribute(made, XString("q"), XString("1")), nullptr);
    ASSERT_NE(edits.addAttribute(b, XString("xml:lang"), XString("en")), nullptr);
    EXPECT_EQ(edits.addAttribute(b, XString("z"), XString("twice")), nullptr);
    edits.remove(made);
    edits.remove(child(r, 0));
    edits.remove(r->last);
    EXPECT_TRUE(edits.setText(r, XString("all gone")));
}

TEST(TreeEdits, FailedScopeRestoresTheTreeExactly) {
    XmlDocPtr doc = parse(DOC);
    const std::string before = dump(doc.get());
    TreeEdits edits;
    edits.open();
    editEverything(edits, doc.get());
    EXPECT_EQ(dump(doc.get()), "<?xml version=\"1.0\"?>\n<r>all gone</r>\n");
    EXPECT_FALSE(edits.close(false));
    EXPECT_EQ(dump(doc.get()), before);
    // The ID table knows the restored value again.
    xmlAttr* id = xmlGetID(doc.get(), BAD_CAST "id1");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->parent, child(xmlDocGetRootElement(doc.get()), 3));
    EXPECT_EQ(xmlGetID(doc.get(), BAD_CAST "id2"), nullptr);
}

TEST(TreeEdits, OnlyTheOutermostScopeDecides) {
    struct Case {
        const char* name;
        std::function<void(TreeEdits&)> closeScopes;
        bool kept;
    } cases[] = {
        {"inner failure, outer success",
         [](TreeEdits& e) {
             e.close(false);
             e.close(true);
         },
         true},
        {"inner success, outer failure",
         [](TreeEdits& e) {
             e.close(true);
             e.close(false);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlDocPtr doc = parse(DOC);
        const std::string before = dump(doc.get());
        TreeEdits edits;
        edits.open();
        edits.open();
        editEverything(edits, doc.get());
        const std::string after = dump(doc.get());
        c.closeScopes(edits);
        EXPECT_EQ(dump(doc.get()), c.kept ? after : before);
    }
}

TEST(TreeEdits, WithoutAScopeEditsAreFinal) {
    XmlDocPtr doc = parse(DOC);
    TreeEdits edits;
    editEverything(edits, doc.get());
    EXPECT_EQ(dump(doc.get()), "<?xml version=\"1.0\"?>\n<r>all gone</r>\n");
    edits.open();
    edits.close(false);
    EXPECT_EQ(dump(doc.get()), "<?xml version=\"1.0\"?>\n<r>all gone</r>\n");
}

TEST(TreeEdits, TextTheNodeCannotCarryChangesNothing) {
    XmlDocPtr doc = parse("<r><!--c--><?p d?><![CDATA[x]]></r>");
    const std::string before = dump(doc.get());
    xmlNode* r = xmlDocGetRootElement(doc.get());
    TreeEdits edits;
    edits.open();
    EXPECT_FALSE(edits.setText(child(r, 0), XString("a--b")));
    EXPECT_FALSE(edits.setText(child(r, 0), XString("a-")));
    EXPECT_FALSE(edits.setText(child(r, 1), XString("?>")));
    EXPECT_FALSE(edits.setText(child(r, 2), XString("]]>")));
    EXPECT_FALSE(edits.setText(reinterpret_cast<xmlNode*>(doc.get()), XString("x")));
    EXPECT_TRUE(edits.close(true));
    EXPECT_EQ(dump(doc.get()), before);
}

}  // namespace
