// The treeval command as a user runs it: its behaviour table (messages,
// streams, exit statuses), that every failing command leaves the file
// byte for byte and time stamp as it was, and that values round-trip.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "run.h"

namespace {

const char* const CONFIG =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<config>\n"
    "  <name>demo</name>\n"
    "  <server port=\"8080\">\n"
    "    <host>localhost</host>\n"
    "  </server>\n"
    "  <item id=\"1\">first</item>\n"
    "  <item id=\"2\">second</item>\n"
    "  <empty/>\n"
    "</config>\n";

const std::string USAGE = "Usage: treeval <file> <xpath> [value]\n";
const std::string ENOTFOUND = "File not found or could not create: ";
const std::string EBADXPATH = "Could not use xpath: ";
const std::string ETOOMANY = "XPath evaluates to more than one object. Cannot set.\n";
const std::string ESAVEVALUE = "Could not save value\n";
const std::string ESAVEFILE = "Could not save file\n";

RunResult treeval(const std::vector<std::string>& args) {
    return runProgram(TREEVAL_BIN, args);
}

// A file with the given text, dated in the past so that any rewrite, even
// within the same clock tick, shows in its time stamp.
std::string writeDated(const TempDir& dir, const std::string& text,
                       const std::string& name = "config.xml") {
    const std::string path = dir.file(name);
    writeWhole(path, text);
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, path.c_str(), past, 0);
    return path;
}

TEST(TreevalCommand, WrongArgumentCountPrintsUsage) {
    const std::vector<std::vector<std::string>> argumentLists = {
        {}, {"f.xml"}, {"f.xml", "/a", "v", "extra"}};
    for (const auto& args : argumentLists) {
        SCOPED_TRACE(args.size());
        RunResult r = treeval(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, USAGE);
        EXPECT_EQ(r.err, "");
    }
}

TEST(TreevalCommand, GetPrintsOneLinePerNode) {
    struct Case {
        const char* expression;
        const char* out;
    } cases[] = {
        {"/config/name", "demo\n"},     {"/config/item", "first\nsecond\n"},
        {"/config/item/@id", "1\n2\n"}, {"/config/server", "localhost\n"},
        {"/config/empty", "\n"},        {"/config/none", ""},
        {"count(/config/item)", ""},
    };
    TempDir dir;
    const std::string file = writeDated(dir, CONFIG);
    const FileState before = stateOf(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        RunResult r = treeval({file, c.expression});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    expectUnchanged(file, before);
}

// The library's own report of the expression comes first; a script sees
// the failure in the exit status.
TEST(TreevalCommand, GetWithARejectedExpressionFails) {
    TempDir dir;
    const std::string file = writeDated(dir, CONFIG);
    const FileState before = stateOf(file);
    for (const char* expression : {"/config/[", "/config/a:b", "count("}) {
        SCOPED_TRACE(expression);
        RunResult r = treeval({file, expression});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(endsWith(r.err, EBADXPATH + expression + "\n")) << r.err;
        EXPECT_NE(r.err, EBADXPATH + expression + "\n") << "the library's report is missing";
    }
    expectUnchanged(file, before);
}

TEST(TreevalCommand, FilesThatCannotBeRead) {
    TempDir dir;
    const std::string missing = dir.file("missing.xml");
    RunResult r = treeval({missing, "/config"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, ENOTFOUND + missing + "\n");
    EXPECT_FALSE(stateOf(missing).exists);

    const std::string broken = writeDated(dir, "<config><a></config>\n", "broken.xml");
    const FileState before = stateOf(broken);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{broken, "/config/a"}, {broken, "/config/a", "v"}}) {
        SCOPED_TRACE(args.size());
        r = treeval(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(endsWith(r.err, ENOTFOUND + broken + "\n")) << r.err;
    }
    expectUnchanged(broken, before);
}

// Every failing set names its reason and leaves the file exactly as it
// was: nothing is written unless the whole value was stored.
TEST(TreevalCommand, FailingSetLeavesTheFileAlone) {
    struct Case {
        const char* path;
        const char* value;
        std::string errEnd;
        std::string alsoReported = "";
    } cases[] = {
        {"/config/item", "v", ETOOMANY},
        {"/config/*", "v", ETOOMANY},
        // Each item would get an attribute, or lose what it holds.
        {"/config/item/@id", "v", ETOOMANY},
        {"/config/item/@new", "v", ETOOMANY},
        // The root element is never replaced.
        {"/other", "v", ESAVEVALUE},
        {"/other/a/b", "v", ESAVEVALUE},
        {"/other/@x", "v", ESAVEVALUE},
        // Names that are no XML names never reach the file.
        {"/config/item[3]", "v", ESAVEVALUE},
        {"/config/text()", "v", ESAVEVALUE},
        {"/config/name/@*", "v", ESAVEVALUE},
        {"/config/entry[.=\"x\"]", "v", ESAVEVALUE},
        {"/config/entry[c/d=\"x\"]", "v", ESAVEVALUE},
        {"/config/entry[c=x]/v", "v", ESAVEVALUE},
        {"/config/entry[.=\"x\"]/v", "v", ESAVEVALUE},
        {"/", "v", ESAVEVALUE},
        {"config", "v", ESAVEVALUE},
        // A rejected expression is reported, and the set then fails.
        {"/config/[", "v", ESAVEVALUE, EBADXPATH + "/config/[\n"},
        {"/config/a:b", "v", ESAVEVALUE, EBADXPATH + "/config/a:b\n"},
    };
    TempDir dir;
    const std::string file = writeDated(dir, CONFIG);
    const FileState before = stateOf(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        RunResult r = treeval({file, c.path, c.value});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(endsWith(r.err, c.errEnd)) << r.err;
        EXPECT_NE(r.err.find(c.alsoReported), std::string::npos) << r.err;
        expectUnchanged(file, before);
    }
}

// Values XML 1.0 cannot hold: invalid UTF-8, control characters, and the
// two non-characters at the end of a plane.
TEST(TreevalCommand, ValuesXmlCannotHoldAreRefused) {
    const char* values[] = {
        "a\x01"
        "b",
        "\x1b[0m",
        "\x7f\x08",
        "caf\xe9",
        "\xc0\xaf",
        "\xed\xa0\x80",
        "\xef\xbf\xbe",
        "\xf4\x90\x80\x80",
        "ok\xe2\x82"};
    const char* paths[] = {"/config/name", "/config/new", "/config/name/@x", "/config/server/@port",
                           "/config/entry[@k=\"1\"]"};
    TempDir dir;
    const std::string file = writeDated(dir, CONFIG);
    const FileState before = stateOf(file);
    for (const char* value : values) {
        for (const char* path : paths) {
            SCOPED_TRACE(std::string(path) + " = " + value);
            RunResult r = treeval({file, path, value});
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, ESAVEVALUE);
        }
    }
    expectUnchanged(file, before);
}

// After a set of V, a get prints V, wherever it went and whatever it holds.
TEST(TreevalCommand, ValuesRoundTrip) {
    const char* values[] = {"plain",
                            "AT&T",
                            "&amp;",
                            "&lt;b&gt; &#65; &unknown;",
                            "a & b;",
                            "<b>bold</b>",
                            "\"double\" 'single'",
                            "]]>",
                            "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8c\x8d",
                            "tab\there",
                            "line one\nline two",
                            "cr\rlf\r\n",
                            "  leading and trailing  ",
                            " ",
                            "\n",
                            ""};
    const char* paths[] = {"/config/name",
                           "/config/new",
                           "/config/server/@port",
                           "/config/server/@new",
                           "/config/a/b/@c",
                           "/config/item[@id=\"3\"]",
                           "/config"};
    TempDir dir;
    for (const char* value : values) {
        for (const char* path : paths) {
            SCOPED_TRACE(std::string(path) + " = " + value);
            const std::string file = writeDated(dir, CONFIG);
            RunResult set = treeval({file, path, value});
            ASSERT_EQ(set.status, 0) << set.err;
            EXPECT_EQ(set.out, "");
            EXPECT_EQ(set.err, "");
            RunResult get = treeval({file, path});
            EXPECT_EQ(get.status, 0) << get.err;
            EXPECT_EQ(get.out, std::string(value) + "\n");
        }
    }
}

TEST(TreevalCommand, SetOnAMissingFileCreatesIt) {
    TempDir dir;
    const std::string file = dir.file("new.xml");
    RunResult r = treeval({file, "/config/a/b", "v"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readWhole(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<config>\n  <a>\n    <b>v</b>\n  </a>\n</config>\n");
}

// Changes what was asked and nothing else.
TEST(TreevalCommand, SetChangesOnlyWhatWasAsked) {
    struct Case {
        const char* path;
        const char* value;
        const char* changed;  // the line of CONFIG that changes, and into what
        const char* into;
    } cases[] = {
        {"/config/name", "prod", "  <name>demo</name>\n", "  <name>prod</name>\n"},
        {"/config/server/@port", "9090", "<server port=\"8080\">", "<server port=\"9090\">"},
        {"/config/server/@tls", "on", "<server port=\"8080\">",
         "<server port=\"8080\" tls=\"on\">"},
        {"/config/item[@id=\"2\"]", "zwei", "<item id=\"2\">second</item>",
         "<item id=\"2\">zwei</item>"},
        {"/config/item[@id=\"3\"]", "third", "  <empty/>\n",
         "  <empty/>\n  <item id=\"3\">third</item>\n"},
        {"/config/item[@id='3']/note", "n", "  <empty/>\n",
         "  <empty/>\n  <item id=\"3\">\n    <note>n</note>\n  </item>\n"},
        {"/config/empty", "full", "<empty/>", "<empty>full</empty>"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string file = writeDated(dir, CONFIG);
        RunResult r = treeval({file, c.path, c.value});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        std::string expected = CONFIG;
        expected.replace(expected.find(c.changed), std::strlen(c.changed), c.into);
        EXPECT_EQ(readWhole(file), expected);
    }
}

TEST(TreevalCommand, SaveFailures) {
    TempDir dir;
    // No directory to hold the file.
    const std::string nowhere = dir.file("missing/new.xml");
    RunResult r = treeval({nowhere, "/config/a", "v"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(endsWith(r.err, ESAVEFILE)) << r.err;
    EXPECT_FALSE(stateOf(nowhere).exists);

    // A file size limit stops the write part way: the original stays whole.
    const std::string file = writeDated(dir, CONFIG);
    const FileState before = stateOf(file);
    r = runProgram("/bin/sh", {"-c", "ulimit -f 4; trap '' XFSZ; exec \"$0\" \"$@\"", TREEVAL_BIN,
                               file, "/config/name", std::string(20000, 'x')});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(endsWith(r.err, ESAVEFILE)) << r.err;
    expectUnchanged(file, before);
}

// Output lost to a full device is a failure the caller sees.
TEST(TreevalCommand, WriteErrorOnStandardOutput) {
    TempDir dir;
    const std::string file = writeDated(dir, CONFIG);
    RunResult r = runProgram(TREEVAL_BIN, {file, "/config/name"}, "", "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("treeval: write error: ") + std::strerror(ENOSPC) + "\n");
    r = runProgram(TREEVAL_BIN, {}, "", "/dev/full");
    EXPECT_EQ(r.status, 1);
}

}  // namespace
