// Tests of the path grammar: splitting a path into parent path and last step,
// and a final equality condition into name, key and value, with the
// diagnostics each failure writes to the class logger.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"
#include "xmlloaderimpl.h"

namespace {

// Marks an expected output that the call must leave as it was.
char const* const UNCHANGED = "(unchanged)";
// What outputs hold before a call, so that "unchanged" can be told apart.
char const* const PRESET = "preset";

std::string const STARTING = "     T| ...starting";
std::string const EXITING = "     T| ...exiting";

// Expected text of an output: null for a blank string.
void expectOutput(XString const& actual, char const* expected, char const* what) {
    SCOPED_TRACE(what);
    if (expected == UNCHANGED) expected = PRESET;
    EXPECT_EQ(actual.blank(), expected == nullptr);
    EXPECT_EQ(actual.stringValue(""), expected ? expected : "");
}

class PathGrammar : public ::testing::Test {
protected:
    void SetUp() override {
        XMLLoaderImpl::logger.setClassLevel(LOG_LEVEL(LOG_ERR | LOG_T), false);
    }
};

struct SplitPathCase {
    char const* path;
    bool ok;
    char const* parent;
    char const* last;
};

TEST_F(PathGrammar, SplitPathCutsAtTheLastSlash) {
    SplitPathCase const cases[] = {
        {"/a/b/c", true, "/a/b", "c"},
        {"/a", true, nullptr, "a"},
        {"//a", true, "/", "a"},
        {"/a/", true, "/a", nullptr},
        {"/", true, nullptr, nullptr},
        {"/a/@id", true, "/a", "@id"},
        {"/a/b[c='x/y']", true, "/a/b[c='x", "y']"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.path);
        XString parent(PRESET);
        XString last(PRESET);
        bool ok = false;
        std::string out =
            captureStdout([&] { ok = XMLLoaderImpl::splitPath(XString(c.path), parent, last); });
        EXPECT_EQ(ok, c.ok);
        expectOutput(parent, c.parent, "parent");
        expectOutput(last, c.last, "last");
        EXPECT_EQ(out, "");
    }
}

TEST_F(PathGrammar, SplitPathWithoutSlashLogsAndKeepsTheOutputs) {
    for (char const* path : {"a", "", "a[b='c']"}) {
        SCOPED_TRACE(path);
        XString parent(PRESET);
        XString last(PRESET);
        bool ok = true;
        std::string out =
            captureStdout([&] { ok = XMLLoaderImpl::splitPath(XString(path), parent, last); });
        EXPECT_FALSE(ok);
        expectOutput(parent, UNCHANGED, "parent");
        expectOutput(last, UNCHANGED, "last");
        EXPECT_EQ(logLines(out), std::vector<std::string>{
                                     std::string("   ERR| '/' not found in string: ") + path});
    }
}

struct SplitConditionCase {
    char const* path;
    bool ok;
    char const* name;
    char const* key;
    char const* value;
    char const* error;  // the ERR message before the path, or null
};

char const* const NO_OPENING = "']' found with no matching '[' in ";
char const* const NON_EQUALITY = "Non-equality condition found in 'set' path: ";

void checkSplitCondition(SplitConditionCase const& c) {
    SCOPED_TRACE(c.path);
    XString name(PRESET);
    XString key(PRESET);
    XString value(PRESET);
    bool ok = !c.ok;
    std::string out = captureStdout(
        [&] { ok = XMLLoaderImpl::splitCondition(XString(c.path), name, key, value); });
    EXPECT_EQ(ok, c.ok);
    expectOutput(name, c.name, "name");
    expectOutput(key, c.key, "key");
    expectOutput(value, c.value, "value");
    std::vector<std::string> expected{STARTING};
    if (c.error) expected.push_back(std::string("   ERR| ") + c.error + c.path);
    expected.push_back(EXITING);
    EXPECT_EQ(logLines(out), expected);
}

TEST_F(PathGrammar, SplitConditionTakesAFinalEqualityApart) {
    SplitConditionCase const cases[] = {
        {"/a/b[c=\"x\"]", true, "/a/b", "c", "x", nullptr},
        {"/a/b[ @id = \"7\" ]", true, "/a/b", "@id", "7", nullptr},
        {"/a/b[c = \"x\" ]", true, "/a/b", "c", "x", nullptr},
        {"/a/b[c=a=b]", true, "/a/b", "c=a", "b", nullptr},
        {"/a/b[1][c=\"x\"]", true, "/a/b[1]", "c", "x", nullptr},
        {"/a/b[c=x y]", true, "/a/b", "c", "x y", nullptr},
        {"/a/b[c=\"x]\"]", true, "/a/b", "c", "x]", nullptr},
        {"b[c=x]", true, "b", "c", "x", nullptr},
    };
    for (auto const& c : cases)
        checkSplitCondition(c);
}

// Single quotes delimit a literal just as double quotes do; one quote of
// either kind goes at each end, and quotes inside that pair stay.
TEST_F(PathGrammar, SplitConditionRemovesOneQuoteOfEitherKindAtEachEnd) {
    SplitConditionCase const cases[] = {
        {"/a/b[c='x']", true, "/a/b", "c", "x", nullptr},
        {"/a/b[c = ' x ' ]", true, "/a/b", "c", "x", nullptr},
        {"/a/b[c=\"'x'\"]", true, "/a/b", "c", "'x'", nullptr},
        {"/a/b[c='\"x\"']", true, "/a/b", "c", "\"x\"", nullptr},
        {"/a/b[c=''x'']", true, "/a/b", "c", "'x'", nullptr},
        {"/a/b[c=x']", true, "/a/b", "c", "x", nullptr},
        {"/a/b[c=it's]", true, "/a/b", "c", "it's", nullptr},
    };
    for (auto const& c : cases)
        checkSplitCondition(c);
}

TEST_F(PathGrammar, SplitConditionGivesBlankPiecesForEmptyKeysAndValues) {
    SplitConditionCase const cases[] = {
        {"/a/b[=x]", true, "/a/b", nullptr, "x", nullptr},
        {"/a/b[ =x]", true, "/a/b", nullptr, "x", nullptr},
        {"/a/b[   = x]", true, "/a/b", nullptr, "x", nullptr},
        {"/a/b[c=]", true, "/a/b", "c", nullptr, nullptr},
        {"/a/b[c= ]", true, "/a/b", "c", nullptr, nullptr},
        {"/a/b[c=\"\"]", true, "/a/b", "c", nullptr, nullptr},
        {"/a/b[c='']", true, "/a/b", "c", nullptr, nullptr},
        {"/a/b[c=\"]", true, "/a/b", "c", nullptr, nullptr},
        {"/a/b[c= \" \" ]", true, "/a/b", "c", nullptr, nullptr},
        {"[=]", true, nullptr, nullptr, nullptr, nullptr},
    };
    for (auto const& c : cases)
        checkSplitCondition(c);
}

TEST_F(PathGrammar, SplitConditionRefusesWhatIsNoFinalEquality) {
    SplitConditionCase const cases[] = {
        {"/a/b[2]", false, "/a/b", UNCHANGED, nullptr, NON_EQUALITY},
        {"/a/b[]", false, "/a/b", UNCHANGED, nullptr, NON_EQUALITY},
        {"[]", false, nullptr, UNCHANGED, nullptr, NON_EQUALITY},
        {"/a/b[c='x[y']", false, "/a/b[c='x", UNCHANGED, nullptr, NON_EQUALITY},
        {"/a/b]", false, UNCHANGED, UNCHANGED, nullptr, NO_OPENING},
        {"]", false, UNCHANGED, UNCHANGED, nullptr, NO_OPENING},
        {"/a/b[c=\"x\"]/d", false, UNCHANGED, UNCHANGED, UNCHANGED, nullptr},
        {"/a/b[c=\"x\"] ", false, UNCHANGED, UNCHANGED, UNCHANGED, nullptr},
        {"", false, UNCHANGED, UNCHANGED, UNCHANGED, nullptr},
    };
    for (auto const& c : cases)
        checkSplitCondition(c);
}

// The set engine passes the parent output of splitPath as the name output of
// splitCondition, and may pass a path as an output of its own split.
TEST_F(PathGrammar, OutputsMayBeThePathItself) {
    XString path("/a/b/c");
    XString last;
    ASSERT_TRUE(XMLLoaderImpl::splitPath(path, path, last));
    expectOutput(path, "/a/b", "parent");
    expectOutput(last, "c", "last");

    XString conditioned("/a/b[c='x']");
    XString key;
    XString value;
    captureStdout(
        [&] { ASSERT_TRUE(XMLLoaderImpl::splitCondition(conditioned, conditioned, key, value)); });
    expectOutput(conditioned, "/a/b", "name");
    expectOutput(key, "c", "key");
    expectOutput(value, "x", "value");

    XString positional("/a/b[2]");
    XString unused;
    std::string out = captureStdout([&] {
        EXPECT_FALSE(XMLLoaderImpl::splitCondition(positional, positional, unused, unused));
    });
    expectOutput(positional, "/a/b", "name");
    EXPECT_EQ(logLines(out)[1], std::string("   ERR| ") + NON_EQUALITY + "/a/b[2]");
}

// Paths may be long; every scan is a single pass and nothing recurses.
TEST_F(PathGrammar, LongPathsSplitWhole) {
    std::string const text(100000, 'x');
    std::string const blanks(100000, ' ');
    std::string const brackets(100000, '[');
    XString name, key, value, parent, last;

    captureStdout([&] {
        EXPECT_TRUE(
            XMLLoaderImpl::splitCondition(XString("/r/i[@k=\"" + text + "\"]"), name, key, value));
    });
    expectOutput(name, "/r/i", "name");
    expectOutput(key, "@k", "key");
    expectOutput(value, text.c_str(), "value");

    captureStdout([&] {
        EXPECT_TRUE(XMLLoaderImpl::splitCondition(XString("/r/i[" + blanks + "=" + blanks + "]"),
                                                  name, key, value));
    });
    EXPECT_TRUE(key.blank());
    EXPECT_TRUE(value.blank());

    captureStdout([&] {
        EXPECT_FALSE(XMLLoaderImpl::splitCondition(XString(brackets + "]"), name, key, value));
    });
    expectOutput(name, brackets.substr(1).c_str(), "name");

    EXPECT_TRUE(XMLLoaderImpl::splitPath(XString(text + "/" + text), parent, last));
    expectOutput(parent, text.c_str(), "parent");
    expectOutput(last, text.c_str(), "last");
}

}  // namespace
