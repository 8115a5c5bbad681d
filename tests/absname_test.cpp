// Runs the absname program as a user would: names given as the argument or
// as the first line of standard input, links and odd spellings resolved,
// and every message with its stream and exit status.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run.h"

namespace {

struct Expected {
    int status;
    std::string out;
    std::string err;
};

std::string systemText(int error) {
    return std::strerror(error);
}

Expected resolved(const std::string& path) {
    return {0, path + "\n", ""};
}

Expected resolveFailure(int error) {
    return {1, "", "call to readpath failed with: " + systemText(error) + "\n"};
}

const Expected READ_FAILURE = {1, "", "Error reading from stdin"};

void expectRun(const RunResult& result, const Expected& expected) {
    EXPECT_EQ(result.status, expected.status);
    EXPECT_EQ(result.out, expected.out);
    EXPECT_EQ(result.err, expected.err);
}

RunResult runWithArgument(const std::string& name) {
    return runProgram(ABSNAME_BIN, {name});
}

RunResult runWithInput(const std::string& input) {
    return runProgram(ABSNAME_BIN, {}, input);
}

// Runs absname under a shell command in which "$0" is the program.
RunResult runUnderShell(const std::string& command, const std::vector<std::string>& args = {}) {
    return runProgram(ABSNAME_BIN, args, "", "", {"sh", "-c", command});
}

// "/" followed by "./" pairs: a name of the given odd length that resolves to "/".
std::string rootNameOfLength(std::size_t length) {
    std::string name = "/";
    while (name.size() < length)
        name += "./";
    return name;
}

// A directory with a file, links to both, a dangling link and a loop.
class AbsnameTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = std::filesystem::canonical(dir.path()).string();
        std::filesystem::create_directory(base + "/real");
        writeWhole(base + "/real/file", "");
        std::filesystem::create_directory_symlink("real", base + "/link");
        std::filesystem::create_symlink("link/file", base + "/chain");
        std::filesystem::create_symlink("missing", base + "/dangling");
        std::filesystem::create_symlink("loop", base + "/loop");
    }

    TempDir dir;
    std::string base;
};

struct NameCase {
    std::string name;
    Expected expected;
};

// Each name is tried as the argument and as the first line of standard input.
void expectBothForms(const std::vector<NameCase>& cases) {
    for (const NameCase& c : cases) {
        SCOPED_TRACE("name \"" + c.name + "\"");
        {
            SCOPED_TRACE("as argument");
            expectRun(runWithArgument(c.name), c.expected);
        }
        {
            SCOPED_TRACE("on standard input");
            expectRun(runWithInput(c.name + "\n"), c.expected);
        }
    }
}

TEST_F(AbsnameTest, ResolvesLinksDotsAndRepeatedSlashes) {
    std::string cwd = std::filesystem::canonical(std::filesystem::current_path()).string();
    expectBothForms({
        {"/", resolved("/")},
        {base + "/real", resolved(base + "/real")},
        {base + "/link", resolved(base + "/real")},
        {base + "/link/file", resolved(base + "/real/file")},
        {base + "/chain", resolved(base + "/real/file")},
        {base + "/./real/.", resolved(base + "/real")},
        {base + "/real/../link/../real/file", resolved(base + "/real/file")},
        {"/" + base + "//real///file", resolved(base + "/real/file")},
        {".", resolved(cwd)},
    });
}

TEST_F(AbsnameTest, ReportsNamesThatDoNotResolve) {
    expectBothForms({
        {base + "/missing", resolveFailure(ENOENT)},
        {base + "/dangling", resolveFailure(ENOENT)},
        {base + "/real/file/x", resolveFailure(ENOTDIR)},
        {base + "/loop", resolveFailure(ELOOP)},
        {"", resolveFailure(ENOENT)},
    });
}

// Only the first line counts, only its newline is dropped, and a line too
// long for the 4095-byte buffer fails instead of resolving a truncated name.
TEST_F(AbsnameTest, ReadsTheFirstLineOfStandardInput) {
    const std::string nul(1, '\0');
    const std::string fits = rootNameOfLength(4095);
    const std::string tooLong = rootNameOfLength(4097);
    ASSERT_EQ(fits.size(), 4095u);
    const struct {
        const char* what;
        std::string input;
        Expected expected;
    } cases[] = {
        {"end of input at once", "", READ_FAILURE},
        {"empty first line", "\n" + base + "\n", resolveFailure(ENOENT)},
        {"several lines", base + "/link\n/\n" + base + "\n", resolved(base + "/real")},
        {"no final newline", base + "/real", resolved(base + "/real")},
        {"one-character name without newline", "/", resolved("/")},
        {"first byte NUL", nul + base + "\n", resolveFailure(ENOENT)},
        {"only a NUL", nul, resolveFailure(ENOENT)},
        {"NUL after the name", base + "/real" + nul + "/file\n", resolved(base + "/real")},
        {"4095 bytes and newline", fits + "\n" + base + "\n", resolved("/")},
        {"4095 bytes at end of input", fits, resolved("/")},
        {"4096 bytes", fits + ".\n", resolveFailure(ENAMETOOLONG)},
        {"4097 bytes at end of input", tooLong, resolveFailure(ENAMETOOLONG)},
        {"10000 bytes", std::string(10000, '/') + "\n", resolveFailure(ENAMETOOLONG)},
        {"long line of NUL bytes", std::string(5000, '\0') + "\n", resolveFailure(ENAMETOOLONG)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectRun(runWithInput(c.input), c.expected);
    }
}

TEST(AbsnameReadErrorTest, FailsWhenStandardInputCannotBeRead) {
    const struct {
        const char* what;
        std::string command;
    } cases[] = {
        {"a directory", "exec \"$0\" 0</"},
        {"closed", "exec \"$0\" 0<&-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectRun(runUnderShell(c.command), READ_FAILURE);
    }
}

TEST(AbsnameUsageTest, RejectsMoreThanOneArgumentWithoutReadingInput) {
    // The line piped in must still be there for cat after absname has run.
    const std::string command = "printf '/\\n' | { \"$0\" \"$@\"; s=$?; cat; exit $s; }";
    const std::vector<std::string> argLists[] = {{"/", "/"}, {"a", "b", "c"}, {"", ""}};
    for (const auto& args : argLists) {
        SCOPED_TRACE(args.size());
        expectRun(runUnderShell(command, args), {1, "Usage: absname filename\n/\n", ""});
    }
}

TEST(AbsnameWriteErrorTest, FailsWhenStandardOutputIsFull) {
    const Expected writeFailure = {1, "", "absname: write error: " + systemText(ENOSPC) + "\n"};
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string input;
    } cases[] = {
        {"argument", {"/"}, ""},
        {"standard input", {}, "/\n"},
        {"usage", {"a", "b"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectRun(runProgram(ABSNAME_BIN, c.args, c.input, "/dev/full"), writeFailure);
    }
}

}  // namespace
