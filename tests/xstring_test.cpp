// Tests of XString: its three states (blank, non-blank empty, holding text)
// and the moves between them, construction and ownership, comparison,
// searching, substrings, concatenation and output.
#include <treeval/xstring.h>

#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <libxml/xmlstring.h>

namespace {

unsigned char const* textOf(XString const& s) {
    return s;
}

// The whole observable value: the bytes, and whether the buffer is null.
void expectText(XString const& s, std::string const& text) {
    EXPECT_EQ(s.stringValue(""), text);
    EXPECT_EQ(s.length(), text.size());
    EXPECT_EQ(std::strcmp(reinterpret_cast<char const*>(textOf(s)), text.c_str()), 0);
}

}  // namespace

TEST(XStringStates, BlankStringsShareOneNonNullEmptyText) {
    XString a;
    XString b(static_cast<char const*>(nullptr));
    XString c(static_cast<unsigned char const*>(nullptr));
    XString d(std::string{});
    for (XString const* s : {&a, &b, &c, &d}) {
        EXPECT_TRUE(s->blank());
        EXPECT_EQ(s->length(), 0u);
        ASSERT_NE(textOf(*s), nullptr);
        EXPECT_EQ(textOf(*s)[0], 0);
        EXPECT_EQ(textOf(*s), textOf(a));
    }
}

TEST(XStringStates, EmptyCStringTurnsBlankWhenItsLengthIsAsked) {
    XString s("");
    EXPECT_FALSE(s.blank());
    EXPECT_NE(textOf(s), textOf(XString()));
    EXPECT_EQ(s.length(), 0u);
    EXPECT_TRUE(s.blank());
    EXPECT_EQ(textOf(s), textOf(XString()));
}

TEST(XStringStates, TextStaysUntilChanged) {
    XString s("abc");
    EXPECT_EQ(s.length(), 3u);
    EXPECT_EQ(s.length(), 3u);
    EXPECT_FALSE(s.blank());
    EXPECT_EQ(s[0], 'a');
    EXPECT_EQ(s[2], 'c');
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(XString()[0], 0);
}

TEST(XStringConstruction, EachConstructorCopiesOrAdoptsItsText) {
    std::string const bytes = "caf\xc3\xa9";
    unsigned char const* constText = reinterpret_cast<unsigned char const*>(bytes.c_str());
    expectText(XString(bytes.c_str()), bytes);
    expectText(XString(constText), bytes);
    expectText(XString(bytes), bytes);

    XString copied(const_cast<unsigned char*>(constText), false);
    expectText(copied, bytes);
    EXPECT_NE(textOf(copied), constText);

    xmlChar* allocated = xmlStrdup(constText);
    XString adopted(allocated, true);
    EXPECT_EQ(textOf(adopted), allocated);
    expectText(adopted, bytes);
}

TEST(XStringConstruction, StandardStringKeepsTheBytesBeforeItsFirstNul) {
    expectText(XString(std::string("ab\0cd", 5)), "ab");
    XString nothing(std::string("\0x", 2));
    EXPECT_TRUE(nothing.blank());
    EXPECT_EQ(nothing.length(), 0u);
}

TEST(XStringCopy, CopyHasItsOwnBuffer) {
    XString source("text");
    XString copy(source);
    expectText(copy, "text");
    EXPECT_NE(textOf(copy), textOf(source));
    source = XString("other");
    expectText(copy, "text");

    XString blank;
    EXPECT_TRUE(XString(blank).blank());
}

TEST(XStringCopy, CopyingNonBlankEmptyLeavesTheSourceBlank) {
    XString source("");
    XString copy(source);
    EXPECT_TRUE(source.blank());
    EXPECT_FALSE(copy.blank());
    EXPECT_EQ(copy.length(), 0u);
    EXPECT_TRUE(copy.blank());
}

TEST(XStringAssignment, CopiesWithoutAskingTheSourceLength) {
    XString target("old");
    XString empty("");
    target = empty;
    EXPECT_FALSE(empty.blank());
    EXPECT_FALSE(target.blank());
    EXPECT_EQ(target, XString());

    target = XString("new");
    expectText(target, "new");
    target = XString();
    EXPECT_TRUE(target.blank());
}

TEST(XStringAssignment, SelfAssignmentKeepsTheText) {
    XString s("keep");
    XString& same = s;
    s = same;
    expectText(s, "keep");
}

TEST(XStringCompare, EqualExactlyWhenTheBytesAre) {
    struct Case {
        XString left;
        XString right;
        bool equal;
    } const cases[] = {
        {XString(), XString(""), true},        {XString(""), XString(std::string{}), true},
        {XString("ab"), XString("ab"), true},  {XString("a"), XString("ab"), false},
        {XString("ab"), XString("ac"), false}, {XString(), XString("a"), false},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.left.stringValue("") + " vs " + c.right.stringValue(""));
        EXPECT_EQ(c.left == c.right, c.equal);
        EXPECT_EQ(c.left != c.right, !c.equal);
        EXPECT_EQ(c.right == c.left, c.equal);
    }
}

TEST(XStringSearch, RfindGivesTheLastMatchAtOrBeforeTheStart) {
    unsigned long const npos = XString::npos;
    struct Case {
        char const* text;  // null: blank
        char const* needle;
        unsigned long start;
        unsigned long expected;
    } const cases[] = {
        {"a/b/c", "/", npos, 3},  {"a/b/c", "/", 2, 1},        {"a/b/c", "/", 99, 3},
        {"/a/b/c", "/", npos, 4}, {"abc", "/", npos, npos},    {"abc", "", npos, 3},
        {"abc", "", 1, 1},        {nullptr, "x", npos, npos},  {nullptr, "", npos, 0},
        {"aaa", "aa", npos, 1},   {"abc", "c", 2, 2},          {"abc", "c", 1, npos},
        {"abc", "a", 0, 0},       {"abc", "abcd", npos, npos},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(blank)") + " / " + c.needle + " / " +
                     std::to_string(c.start));
        XString text(c.text);
        EXPECT_EQ(text.rfind(c.needle, c.start), c.expected);
        EXPECT_EQ(text.rfind(XString(c.needle), c.start), c.expected);
    }
}

TEST(XStringSubstr, CountsBytesFromTheStartAndClipsAtTheEnd) {
    unsigned long const npos = XString::npos;
    struct Case {
        unsigned long pos;
        unsigned long count;
        char const* expected;  // null: blank
    } const cases[] = {
        {2, npos, "cdef"}, {6, npos, nullptr}, {2, 0, nullptr},  {0, 3, "abc"},       {5, 1, "f"},
        {4, 10, "ef"},     {7, npos, nullptr}, {10, 2, nullptr}, {0, npos, "abcdef"},
    };
    XString const text("abcdef");
    for (auto const& c : cases) {
        SCOPED_TRACE(std::to_string(c.pos) + ", " + std::to_string(c.count));
        XString part = text.substr(c.pos, c.count);
        EXPECT_EQ(part.blank(), c.expected == nullptr);
        expectText(part, c.expected ? c.expected : "");
    }
    EXPECT_TRUE(XString().substr(0, npos).blank());
    EXPECT_TRUE(XString().substr(0, 2).blank());
    expectText(text, "abcdef");
}

TEST(XStringConcat, OperatorsJoinTheBytes) {
    struct Case {
        char const* left;  // null: blank
        char const* right;
        std::string expected;
    } const cases[] = {
        {"ab", nullptr, "ab"}, {nullptr, "cd", "cd"},  {"x", "yz", "xyz"},   {"", "yz", "yz"},
        {"ab", "", "ab"},      {nullptr, nullptr, ""}, {"ab", "cd", "abcd"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.left ? c.left : "(blank)") + " + " +
                     (c.right ? c.right : "(blank)"));
        expectText(XString(c.left) + XString(c.right), c.expected);
        if (c.left != nullptr) expectText(c.left + XString(c.right), c.expected);
        if (c.right != nullptr) expectText(XString(c.left) + c.right, c.expected);
    }
}

TEST(XStringConcat, OperandsKeepTheirText) {
    XString left("ab");
    XString right("cd");
    expectText(left + right, "abcd");
    expectText(left + left, "abab");
    expectText(left, "ab");
    expectText(right, "cd");
}

TEST(XStringAppend, AppendingToEmptyMakesACopyOfTheOperand) {
    XString blank;
    blank += XString();
    EXPECT_TRUE(blank.blank());

    XString empty;
    expectText(empty += XString(""), "");
    expectText(empty, "");

    XString fromBlank;
    XString result = fromBlank += XString("cd");
    expectText(fromBlank, "cd");
    expectText(result, "cd");
}

TEST(XStringAppend, AppendsInPlaceAndReturnsACopy) {
    XString s("ab");
    XString unchanged = s += XString();
    expectText(s, "ab");
    expectText(unchanged, "ab");

    XString result = s += XString("cd");
    expectText(s, "abcd");
    expectText(result, "abcd");
    EXPECT_NE(textOf(result), textOf(s));

    std::string expected = "abcd";
    for (int i = 0; i < 200; ++i) {
        s += XString("xyz");
        expected += "xyz";
    }
    expectText(s, expected);
}

TEST(XStringAppend, AppendingAStringToItselfDoublesIt) {
    XString s("ab");
    std::string expected = "ab";
    for (int i = 0; i < 10; ++i) {
        s += s;
        expected += expected;
    }
    expectText(s, expected);
}

TEST(XStringOutput, StreamGetsExactlyTheBytesUnformatted) {
    struct Case {
        XString text;
        std::string expected;
    } const cases[] = {{XString("a b"), "a b"}, {XString(), ""}, {XString(""), ""}};
    for (auto const& c : cases) {
        SCOPED_TRACE(c.expected);
        std::ostringstream out;
        out << std::setw(8) << std::setfill('*') << std::left << c.text;
        EXPECT_EQ(out.str(), c.expected);
    }
}

TEST(XStringOutput, StringValueIgnoresItsArgument) {
    EXPECT_EQ(XString().stringValue(""), "");
    EXPECT_EQ(XString("").stringValue("ignored"), "");
    EXPECT_EQ(XString("\xc3\xa9 x").stringValue("ignored"), "\xc3\xa9 x");
}
