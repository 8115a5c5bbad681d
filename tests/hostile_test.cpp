// Hostile and broken input through the treeval command: files made to
// exhaust or mislead the reader, files that are not XML, encodings other
// than UTF-8, and paths, values and expressions at and beyond what the file
// format and the library take. Each case gives its message and status, and
// a failing command leaves the file exactly as it was.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "files.h"
#include "run.h"

namespace {

const std::string ENOTFOUND = "File not found or could not create: ";
const std::string EBADXPATH = "Could not use xpath: ";
const std::string ESAVEVALUE = "Could not save value\n";

std::string repeated(const std::string& piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

std::string nested(std::size_t depth) {
    return repeated("<a>", depth) + "v" + repeated("</a>", depth);
}

// A listening socket on the loopback address: a file that makes the
// program reach for the network shows up as a connection waiting here.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
        listen(fd_, 8);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::string url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }
    bool contacted() const {
        int connection = accept(fd_, nullptr, nullptr);
        if (connection < 0) return false;
        close(connection);
        return true;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// One command on one file. The file holds text, or is a directory, or is
// missing; the arguments follow the file name. The command's standard error
// ends with err (the library's own reports may come first), and a command
// that fails leaves the file as it was.
struct Case {
    const char* name;
    std::function<std::string(const TempDir&)> text;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
    enum Kind { FILE, DIRECTORY, MISSING } kind = FILE;
};

class Hostile : public ::testing::Test {
protected:
    void run(const Case& c) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("conf.xml");
        if (c.kind == Case::FILE) {
            writeWhole(path, c.text(dir));
            const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
            utimensat(AT_FDCWD, path.c_str(), past, 0);
        } else if (c.kind == Case::DIRECTORY) {
            mkdir(path.c_str(), 0755);
        }
        const FileState before = stateOf(path);
        std::vector<std::string> args{path};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = runProgram(TREEVAL_BIN, args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        std::string err = c.err;
        const std::string name = "$FILE";
        if (err.find(name) != std::string::npos) err.replace(err.find(name), name.size(), path);
        EXPECT_TRUE(endsWith(r.err, err)) << r.err.substr(0, 2000);
        if (c.status != 0) expectUnchanged(path, before);
        std::string command = "rm -rf '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    TempDir dir;
};

const std::string QUADRATIC = "<!DOCTYPE r [<!ENTITY e \"" + std::string(50000, 'x') +
                              "\">]>\n<r>" + repeated("&e;", 20000) + "</r>\n";

std::string laughs() {
    std::string entities = "<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        entities += "<!ENTITY l" + std::to_string(i) + " \"" +
                    repeated("&l" + std::to_string(i - 1) + ";", 10) + "\">";
    return "<!DOCTYPE r [" + entities + "]>\n<r>&l9;</r>\n";
}

std::string randomBytes() {
    std::mt19937 generator(20240611);
    std::string bytes(4096, '\0');
    for (char& b : bytes)
        b = static_cast<char>(generator());
    return bytes;
}

// Files the program must not load: each fails as a file that cannot be
// used, in get mode and in set mode alike, and quickly.
TEST_F(Hostile, FilesThatCannotBeUsedAreRefused) {
    const std::string unusable = ENOTFOUND + "$FILE\n";
    struct Refused {
        const char* name;
        std::function<std::string(const TempDir&)> text;
        Case::Kind kind;
    } refused[] = {
        {"entity loop", [](const TempDir&) { return laughs(); }, Case::FILE},
        {"quadratic entity expansion", [](const TempDir&) { return QUADRATIC; }, Case::FILE},
        {"quadratic expansion in an attribute",
         [](const TempDir&) {
             return "<!DOCTYPE r [<!ENTITY e \"" + std::string(50000, 'x') + "\">]>\n<r a=\"" +
                    repeated("&e;", 20000) + "\"/>\n";
         },
         Case::FILE},
        {"depth 300", [](const TempDir&) { return nested(300); }, Case::FILE},
        {"depth 100,000", [](const TempDir&) { return nested(100000); }, Case::FILE},
        {"20 MB text node",
         [](const TempDir&) { return "<r>" + std::string(20000000, 't') + "</r>"; }, Case::FILE},
        {"20 MB attribute",
         [](const TempDir&) { return "<r a=\"" + std::string(20000000, 'a') + "\"/>"; },
         Case::FILE},
        {"random bytes", [](const TempDir&) { return randomBytes(); }, Case::FILE},
        {"empty file", [](const TempDir&) { return std::string(); }, Case::FILE},
        {"NUL byte", [](const TempDir&) { return std::string("<r>a\0b</r>", 10); }, Case::FILE},
        {"directory", nullptr, Case::DIRECTORY},
    };
    for (const Refused& f : refused) {
        run({f.name, f.text, {"/r"}, 1, "", unusable, f.kind});
        run({f.name, f.text, {"/r/b", "v"}, 1, "", unusable, f.kind});
    }
}

// Entities and document types that point outside the file are never
// followed: not to another file, not to the network.
TEST_F(Hostile, NothingOutsideTheFileIsRead) {
    Listener listener;
    const std::string secret = "secret-content";
    auto withSecret = [&](const TempDir& d) { writeWhole(d.file("secret"), secret); };
    const std::vector<Case> cases = {
        {"external entity from a file",
         [&](const TempDir& d) {
             withSecret(d);
             return "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + d.file("secret") +
                    "\">]>\n<r><a>&s;</a></r>\n";
         },
         {"/r/a"},
         0,
         "\n",
         ""},
        {"external entity from the network",
         [&](const TempDir&) {
             return "<!DOCTYPE r [<!ENTITY s SYSTEM \"" + listener.url("entity") +
                    "\">]>\n<r><a>&s;</a></r>\n";
         },
         {"/r/a"},
         0,
         "\n",
         ""},
        {"external document type from a file",
         [&](const TempDir& d) {
             writeWhole(d.file("types.dtd"), "<!ENTITY s \"" + secret + "\">");
             return "<!DOCTYPE r SYSTEM \"" + d.file("types.dtd") + "\">\n<r><a>&s;</a></r>\n";
         },
         {"/r/a"},
         0,
         "\n",
         ""},
        {"external document type from the network",
         [&](const TempDir&) {
             return "<!DOCTYPE r SYSTEM \"" + listener.url("types.dtd") + "\">\n<r><a>v</a></r>\n";
         },
         {"/r/a"},
         0,
         "v\n",
         ""},
    };
    for (const Case& c : cases)
        run(c);
    EXPECT_FALSE(listener.contacted());
}

// Other encodings are read as what they say they are, and a set writes the
// file back as UTF-8 that says so.
TEST_F(Hostile, OtherEncodingsAreReadAndSavedAsUtf8) {
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>caf\xe9</r>\n";
    // The same text as UTF-16, little-endian, after a byte order mark and
    // without a declaration.
    std::string utf16 = "\xff\xfe";
    for (char c : std::string("<r>caf\xe9</r>"))
        utf16 += std::string{c, '\0'};
    const std::string saved =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>caf\xc3\xa9<b>v</b></r>\n";
    for (const std::string& text : {utf16, latin1}) {
        const std::string path = dir.file("conf.xml");
        writeWhole(path, text);
        RunResult r = runProgram(TREEVAL_BIN, {path, "/r/text()"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "caf\xc3\xa9\n");
        r = runProgram(TREEVAL_BIN, {path, "/r/b", "v"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readWhole(path), saved);
    }
}

// Paths, values and expressions of hostile size: a set that would make a
// file the parser cannot read back is refused, and nothing of ours recurses
// without bound on a long path.
TEST_F(Hostile, OversizedPathsValuesAndExpressions) {
    const std::string doc = "<r><a>1</a></r>";
    const std::string deepPath = "/r" + repeated("/a", 299);
    const std::string longPath = "/r" + repeated("/a", 49999);
    const std::string parentheses = repeated("(", 49999) + "1" + repeated(")", 49999);
    const std::string predicates = "/r" + repeated("[a", 33333) + repeated("]", 33333);
    // The largest argument the kernel passes to a program (128 KiB with its
    // NUL); a longer value never reaches the command.
    const std::string largestValue(131071, 'v');
    const std::vector<Case> cases = {
        {"300-step set path on a missing file",
         nullptr,
         {deepPath, "v"},
         1,
         "",
         ESAVEVALUE,
         Case::MISSING},
        {"300-step set path",
         [&](const TempDir&) { return doc; },
         {deepPath, "v"},
         1,
         "",
         ESAVEVALUE},
        {"100,000-character set path",
         [&](const TempDir&) { return doc; },
         {longPath, "v"},
         1,
         "",
         ESAVEVALUE},
        {"100,000-character expression",
         [&](const TempDir&) { return doc; },
         {longPath},
         0,
         "",
         ""},
        {"deeply nested expression",
         [&](const TempDir&) { return doc; },
         {parentheses},
         1,
         "",
         EBADXPATH + parentheses + "\n"},
        {"deeply nested predicates",
         [&](const TempDir&) { return doc; },
         {predicates, "v"},
         1,
         "",
         ESAVEVALUE},
        {"largest value a command line carries",
         [&](const TempDir&) { return doc; },
         {"/r/a", largestValue},
         0,
         "",
         ""},
    };
    for (const Case& c : cases)
        run(c);

    const std::string path = dir.file("conf.xml");
    writeWhole(path, doc);
    ASSERT_EQ(runProgram(TREEVAL_BIN, {path, "/r/a", largestValue}).status, 0);
    EXPECT_EQ(runProgram(TREEVAL_BIN, {path, "/r/a"}).out, largestValue + "\n");
}

}  // namespace
