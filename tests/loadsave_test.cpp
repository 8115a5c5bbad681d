// Loading and saving the store's file: the exact name is read and written,
// the saved bytes are those of the library's own formatted save, the file is
// replaced whole with its owner, mode and links kept, a failed save leaves it
// untouched, and the lock serialises cooperating processes.
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include "atomicsave.h"
#include "capture.h"
#include "files.h"
#include "run.h"
#include "store.h"
#include "xmlptr.h"

namespace {

const std::string DOCUMENT = "<config><a>1</a></config>";
const std::string SAVED =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <a>1</a>\n</config>\n";
const std::string OLD_CONTENT = "<config><old>kept</old></config>\n";
constexpr uid_t NOBODY = 65534;

bool saveDocument(const std::string& name, const std::string& xml = DOCUMENT) {
    return storeFrom(xml, name).saveFile();
}

struct stat statusOf(const std::string& path, bool followLinks = true) {
    struct stat status {};
    if (followLinks)
        stat(path.c_str(), &status);
    else
        lstat(path.c_str(), &status);
    return status;
}

// A document much larger than OLD_CONTENT, for saves that must run out of room.
std::string largeDocument(std::size_t items) {
    std::string xml = "<config>";
    for (std::size_t i = 0; i < items; ++i)
        xml +=
            "<item id=\"" + std::to_string(i) + "\">value number " + std::to_string(i) + "</item>";
    return xml + "</config>";
}

// Runs check in a child process (optionally as the unprivileged user
// nobody) and gives back what it returned: "" for success, else what went
// wrong. Changes of user or limits so stay out of the test process.
std::string inChild(const std::function<std::string()>& check, bool asNobody) {
    int channel[2];
    if (pipe(channel) != 0) return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        std::string result;
        if (asNobody && (setgroups(0, nullptr) != 0 || setresgid(NOBODY, NOBODY, NOBODY) != 0 ||
                         setresuid(NOBODY, NOBODY, NOBODY) != 0))
            result = "cannot become nobody";
        else
            result = check();
        [[maybe_unused]] ssize_t n = write(channel[1], result.data(), result.size());
        _exit(0);
    }
    close(channel[1]);
    std::string result;
    char chunk[256];
    for (ssize_t n; (n = read(channel[0], chunk, sizeof chunk)) > 0;)
        result.append(chunk, n);
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child died";
    return result;
}

// Works in a directory for as long as it lives.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(saved_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

// A directory the unprivileged user can reach, for the tests that act as
// that user (a fresh temporary directory is private to its creator).
class SharedDir {
public:
    SharedDir() {
        chmod(dir_.path().c_str(), 0755);
        path_ = dir_.file("shared");
        mkdir(path_.c_str(), 0777);
        chmod(path_.c_str(), 0777);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    TempDir dir_;
    std::string path_;
};

TEST(LoadFile, ReadsOnlyRegularFilesByTheirBytes) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        bool create;
        bool loads;
    };
    const Case cases[] = {
        {"document", [](const std::string& p) { writeWhole(p, DOCUMENT); }, false, true},
        {"dangling link, created", [](const std::string& p) { symlink("absent.xml", p.c_str()); },
         true, true},
        {"directory", [](const std::string& p) { mkdir(p.c_str(), 0755); }, true, false},
        {"FIFO, which must not block", [](const std::string& p) { mkfifo(p.c_str(), 0644); }, true,
         false},
        {"gzip-compressed document",
         [](const std::string& p) {
             writeWhole(p + ".plain", DOCUMENT);
             std::system(("gzip -c '" + p + ".plain' > '" + p + "'").c_str());
         },
         true, false},
        {"xz-compressed document",
         [](const std::string& p) {
             writeWhole(p + ".plain", DOCUMENT);
             std::system(("xz -c '" + p + ".plain' > '" + p + "'").c_str());
         },
         true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = dir.file("conf.xml");
        c.make(path);
        XMLLoader store(path);
        EXPECT_EQ(store.loadFile(c.create), c.loads);
    }
}

TEST(LoadFile, CompressedInputIsNotExpanded) {
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path + ".plain", DOCUMENT);
    ASSERT_EQ(std::system(("gzip -c '" + path + ".plain' > '" + path + "'").c_str()), 0);
    std::string compressed = readWhole(path);
    XMLLoader store(path);
    EXPECT_FALSE(store.loadFile(true));
    EXPECT_EQ(readWhole(path), compressed);
}

// The library's own file functions read names as URIs; every one of these
// must mean exactly the file of that name, for reading and writing.
TEST(LoadFile, FileNamesAreLiteral) {
    struct Case {
        const char* name;
        const char* decoy;  // what a URI reading of the name would touch
    };
    const Case cases[] = {{"-", nullptr}, {"x%41.xml", "xA.xml"}, {"file://a.xml", "a.xml"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WorkingDirectory inside(dir.path());
        mkdir("file:", 0755);
        if (c.decoy) writeWhole(c.decoy, "DECOY");

        std::string printed = captureStdout([&] { EXPECT_TRUE(saveDocument(c.name)); });
        EXPECT_EQ(printed, "");
        EXPECT_EQ(readWhole(c.name), SAVED);
        if (c.decoy) {
            EXPECT_EQ(readWhole(c.decoy), "DECOY");
        }

        XMLLoader store(c.name);
        ASSERT_TRUE(store.loadFile(false));
        std::vector<std::string> values;
        EXPECT_TRUE(store.getVector("/config/a", values, 0));
        EXPECT_EQ(values, std::vector<std::string>{"1"});
    }
}

// The specified save is the library's formatted UTF-8 file save of the
// file parser's tree; the store must write exactly those bytes.
TEST(SaveFile, WritesTheBytesOfTheLibrarysOwnSave) {
    const char* documents[] = {
        "<config>\n  <a>1</a>\n  <b x='y'>two</b>\n</config>\n",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xe9</r>",
        "<!DOCTYPE r [<!ENTITY e \"ent\">]><r>&e; &#65;<!-- c --><?pi x?><![CDATA[<&>]]></r>",
        "<n:r xmlns:n=\"urn:x\"><n:a/><sp>   </sp><p><b>big</b> <i>world</i></p></n:r>",
        "\xEF\xBB\xBF<r>bom</r>",
        "<r>\r\n<a>1</a>\r\n</r>",
    };
    for (const char* xml : documents) {
        SCOPED_TRACE(xml);
        TempDir dir;
        std::string path = dir.file("conf.xml"), reference = dir.file("reference.xml");
        writeWhole(path, xml);
        XMLLoader store(path);
        ASSERT_TRUE(store.loadFile(false));

        XmlDocPtr parsed(xmlParseFile(path.c_str()));
        ASSERT_TRUE(parsed);
        ASSERT_GT(xmlSaveFormatFileEnc(reference.c_str(), parsed.get(), "UTF-8", 1), 0);

        ASSERT_TRUE(store.saveFile());
        EXPECT_EQ(readWhole(path), readWhole(reference));
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"conf.xml", "reference.xml"}));
    }
}

TEST(SaveFile, WritesItsTraceLines) {
    TempDir dir;
    std::string path = dir.file("conf.xml");
    XMLLoader store(path);
    std::string unreachable = dir.file("missing/conf.xml");
    XMLLoader homeless = storeFrom(DOCUMENT, unreachable);
    TraceLevel levels(LOG_T | LOG_ERR);
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"load of a missing file",
         [&] { store.loadFile(true); },
         {"     T| ...starting", "     T| Loading file " + path,
          "     T| File not found, initialising empty file", "     T| ...exiting"}},
        {"save",
         [&] { store.saveFile(); },
         {"     T| ...starting", "     T| Saving file: " + path, "     T| ...exiting"}},
        {"load of an array",
         [&] { store.loadArray(DOCUMENT.data(), DOCUMENT.size()); },
         {"     T| ...starting", "     T| Loading array...", "     T| ...exiting"}},
        {"failed save",
         [&] { homeless.saveFile(); },
         {"     T| ...starting", "     T| Saving file: " + unreachable,
          "   ERR| Could not save file " + unreachable +
              ": cannot create a temporary file beside " + unreachable +
              ": No such file or directory",
          "     T| ...exiting"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(logLines(captureStdout(c.act)), c.lines);
    }
}

TEST(SaveFile, KeepsPermissionBits) {
    for (mode_t mode : {0600, 0640, 0604, 0755, 02775, 04755}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        std::string path = dir.file("conf.xml");
        writeWhole(path, OLD_CONTENT);
        chmod(path.c_str(), mode);
        ASSERT_TRUE(saveDocument(path));
        EXPECT_EQ(statusOf(path).st_mode & 07777, mode);
        EXPECT_EQ(readWhole(path), SAVED);
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
    }
}

TEST(SaveFile, KeepsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path, OLD_CONTENT);
    ASSERT_EQ(chown(path.c_str(), NOBODY, NOBODY), 0);
    ASSERT_EQ(chmod(path.c_str(), 06644), 0);
    ASSERT_TRUE(saveDocument(path));
    struct stat status = statusOf(path);
    EXPECT_EQ(status.st_uid, NOBODY);
    EXPECT_EQ(status.st_gid, NOBODY);
    EXPECT_EQ(status.st_mode & 07777, 06644u) << "set-id bits survive the change of owner";
}

TEST(SaveFile, NewFileGetsTheModeOfADirectCreation) {
    for (mode_t mask : {022, 027, 0}) {
        SCOPED_TRACE(mask);
        TempDir dir;
        std::string path = dir.file("conf.xml");
        mode_t saved = umask(mask);
        bool ok = saveDocument(path);
        umask(saved);
        ASSERT_TRUE(ok);
        EXPECT_EQ(statusOf(path).st_mode & 07777, 0666 & ~mask);
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
    }
}

TEST(SaveFile, WritesThroughSymbolicLinks) {
    TempDir dir;
    std::string real = dir.file("real/conf.xml");
    mkdir(dir.file("real").c_str(), 0755);
    mkdir(dir.file("links").c_str(), 0755);
    writeWhole(real, OLD_CONTENT);
    ASSERT_EQ(symlink("../real/conf.xml", dir.file("links/first").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("links/first").c_str(), dir.file("second").c_str()), 0);

    ASSERT_TRUE(saveDocument(dir.file("second")));
    EXPECT_EQ(readWhole(real), SAVED);
    EXPECT_TRUE(S_ISLNK(statusOf(dir.file("second"), false).st_mode));
    EXPECT_TRUE(S_ISLNK(statusOf(dir.file("links/first"), false).st_mode));
    EXPECT_EQ(entries(dir.file("real")), std::vector<std::string>{"conf.xml"});
    EXPECT_EQ(entries(dir.file("links")), std::vector<std::string>{"first"});
}

TEST(SaveFile, DanglingLinkCreatesItsTarget) {
    TempDir dir;
    std::string link = dir.file("conf.xml");
    ASSERT_EQ(symlink("target.xml", link.c_str()), 0);
    XMLLoader store(link);
    ASSERT_TRUE(store.loadFile(true));
    ASSERT_TRUE(store.setOrCreateVector("/config/a", std::vector<std::string>{"1"}));
    ASSERT_TRUE(store.saveFile());
    EXPECT_TRUE(S_ISLNK(statusOf(link, false).st_mode));
    EXPECT_EQ(readWhole(dir.file("target.xml")), SAVED);
}

TEST(SaveFile, HardLinksKeepSharingTheFile) {
    TempDir dir;
    std::string path = dir.file("conf.xml"), other = dir.file("other.xml");
    writeWhole(path, OLD_CONTENT);
    ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
    ino_t inode = statusOf(path).st_ino;
    ASSERT_TRUE(saveDocument(path, largeDocument(1000)));
    EXPECT_EQ(statusOf(path).st_ino, inode);
    EXPECT_EQ(statusOf(path).st_nlink, 2u);
    EXPECT_EQ(readWhole(other), readWhole(path));
    ASSERT_TRUE(saveDocument(path));
    EXPECT_EQ(readWhole(other), SAVED) << "a shorter document leaves no old tail";
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"conf.xml", "other.xml"}));
}

TEST(SaveFile, NonRegularTargetIsWrittenInPlace) {
    XMLLoader store("/dev/null");
    ASSERT_TRUE(store.loadArray(DOCUMENT.data(), DOCUMENT.size()));
    EXPECT_TRUE(store.saveFile());
    EXPECT_TRUE(S_ISCHR(statusOf("/dev/null").st_mode));
}

TEST(SaveFile, RefusesWhatCannotBeAFile) {
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    for (std::string name :
         {dir.file("sub"), dir.file("sub/"), dir.file("missing/conf.xml"), std::string()}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(saveDocument(name));
    }
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"sub"});
    EXPECT_TRUE(entries(dir.file("sub")).empty());
}

// As an unprivileged user: permission decides, as it would for a direct
// write, and where only a rename is impossible the file is written in place.
TEST(SaveFile, PermissionIsTheJudge) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    struct Case {
        const char* name;
        mode_t dirMode;
        uid_t fileOwner;
        mode_t fileMode;
        bool saves;
    };
    const Case cases[] = {
        {"read-only file in a writable directory", 0777, NOBODY, 0444, false},
        {"writable file in an unwritable directory", 0555, NOBODY, 0644, true},
        {"another user's writable file in a sticky directory", 01777, 0, 0666, true},
        {"unwritable file in an unwritable directory", 0555, 0, 0644, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharedDir dir;
        std::string path = dir.file("conf.xml");
        writeWhole(path, OLD_CONTENT);
        ASSERT_EQ(chown(path.c_str(), c.fileOwner, c.fileOwner), 0);
        ASSERT_EQ(chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(chmod(dir.path().c_str(), c.dirMode), 0);
        struct stat before = statusOf(path);

        std::string result = inChild(
            [&] { return saveDocument(path) == c.saves ? "" : "unexpected save result"; }, true);
        EXPECT_EQ(result, "");
        EXPECT_EQ(readWhole(path), c.saves ? SAVED : OLD_CONTENT);
        struct stat after = statusOf(path);
        EXPECT_EQ(after.st_ino, before.st_ino) << "written in place or not at all";
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
    }
}

// Saves a large document under a file size limit that it exceeds, which
// stands in for a full disk; "" when the save failed as it must.
std::string saveBeyondSizeLimit(const std::string& path) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit saved = limit;
    limit.rlim_cur = 4096;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "cannot limit the file size";
    bool saves = saveDocument(path, largeDocument(2000));
    setrlimit(RLIMIT_FSIZE, &saved);
    return saves ? "saved beyond the limit" : "";
}

// A failed save leaves the old file byte for byte, also where it is written
// in place, and creates nothing when there was no file.
TEST(SaveFile, FailedWriteLeavesTheFileAsItWas) {
    struct Case {
        const char* name;
        bool exists;
        bool hardLinked;
    };
    const Case cases[] = {
        {"single file, replaced", true, false},
        {"hard-linked file, written in place", true, true},
        {"new file", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = dir.file("conf.xml");
        if (c.exists) writeWhole(path, OLD_CONTENT);
        if (c.hardLinked) link(path.c_str(), dir.file("other.xml").c_str());
        std::vector<std::string> before = entries(dir.path());

        EXPECT_EQ(inChild([&] { return saveBeyondSizeLimit(path); }, false), "");
        if (c.exists) {
            EXPECT_EQ(readWhole(path), OLD_CONTENT);
        }
        EXPECT_EQ(entries(dir.path()), before);
    }
}

// Without /proc an unnamed temporary file could not be named, so the save
// falls back to a named one, which must vanish as well when the save fails.
TEST(SaveFile, NamedTemporaryFileWhereUnnamedOnesCannotBeUsed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hide /proc";
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path, OLD_CONTENT);
    std::string result = inChild(
        [&]() -> std::string {
            if (unshare(CLONE_NEWNS) != 0 ||
                mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", "/proc", "tmpfs", 0, nullptr) != 0)
                return "skip";
            if (std::string failed = saveBeyondSizeLimit(path); !failed.empty()) return failed;
            if (readWhole(path) != OLD_CONTENT) return "the failed save changed the file";
            if (entries(dir.path()).size() != 1) return "the failed save left a file behind";
            return saveDocument(path) ? "" : "the save failed";
        },
        false);
    if (result == "skip") GTEST_SKIP() << "cannot hide /proc here";
    EXPECT_EQ(result, "");
    EXPECT_EQ(readWhole(path), SAVED);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
}

// Whether the lock on path is taken: another open file description of the
// same file cannot have it now (this also holds within one process).
bool lockedElsewhere(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return false;
    return flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

UniqueFd lockedByTest(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(flock(fd.get(), LOCK_EX), 0);
    return fd;
}

// An existing file is locked itself; a missing one through its directory,
// without creating anything. The lock goes with the store.
TEST(LockFile, HoldsTheFileOrItsDirectoryUntilTheStoreGoes) {
    for (bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "existing file" : "missing file");
        TempDir dir;
        std::string path = dir.file("conf.xml");
        if (fileExists) writeWhole(path, OLD_CONTENT);
        std::string locked = fileExists ? path : dir.path();
        {
            XMLLoader store(path);
            ASSERT_TRUE(store.lockFile());
            EXPECT_TRUE(store.lockFile()) << "taking it again keeps it";
            EXPECT_TRUE(lockedElsewhere(locked));
            EXPECT_EQ(entries(dir.path()), fileExists ? std::vector<std::string>{"conf.xml"}
                                                      : std::vector<std::string>{});
        }
        EXPECT_FALSE(lockedElsewhere(locked));
    }
}

TEST(LockFile, MissingDirectoryHasNothingToLock) {
    TempDir dir;
    XMLLoader store(dir.file("missing/conf.xml"));
    EXPECT_TRUE(store.lockFile());
    EXPECT_FALSE(store.saveFile());
    EXPECT_TRUE(entries(dir.path()).empty());
}

// A waiter whose file is replaced (by a save) or created (by the first
// save) while it waits must end up holding the file the name now leads to;
// a lock on the old file or on the directory would protect nothing.
TEST(LockFile, FollowsTheFileThatReplacedTheLockedOne) {
    for (bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "file replaced" : "file created");
        TempDir dir;
        std::string path = dir.file("conf.xml");
        if (fileExists) writeWhole(path, OLD_CONTENT);
        UniqueFd held = lockedByTest(fileExists ? path : dir.path());

        XMLLoader store(path);
        bool locked = false;
        std::thread waiter([&] { locked = store.lockFile(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        writeWhole(dir.file("new.xml"), DOCUMENT);
        ASSERT_EQ(rename(dir.file("new.xml").c_str(), path.c_str()), 0);
        held.reset();
        waiter.join();

        EXPECT_TRUE(locked);
        EXPECT_TRUE(lockedElsewhere(path));
        EXPECT_FALSE(lockedElsewhere(dir.path()));
    }
}

// Entity references stay references, and every read of the text around one
// copies the entity again: a document whose references stand for more than
// 10,000,000 bytes is refused at load, before any read could blow up, while
// ordinary entities keep working.
TEST(LoadArray, EntityExpansionIsBounded) {
    const std::string big(50000, 'x');
    auto declaring = [](const std::string& entities, const std::string& root) {
        return "<!DOCTYPE r [" + entities + "]>" + root;
    };
    std::string manyRefs;
    for (int i = 0; i < 20000; ++i)
        manyRefs += "&e;";
    const std::string entity = "<!ENTITY e \"" + big + "\">";
    // An entity of two references to the big one: 100,000 bytes a use.
    const std::string nested = entity + "<!ENTITY b \"&e;&e;\">";
    std::string nestedRefs;
    for (int i = 0; i < 150; ++i)
        nestedRefs += "&b;";
    struct Case {
        const char* name;
        std::string xml;
        bool loads;
    } cases[] = {
        {"small entities", declaring("<!ENTITY co \"ACME\">", "<r a=\"&co;\">&co; &amp; &co;</r>"),
         true},
        {"within the bound", declaring(entity, "<r>" + manyRefs.substr(0, 3 * 200) + "</r>"), true},
        {"quadratic in text", declaring(entity, "<r>" + manyRefs + "</r>"), false},
        {"quadratic in an attribute", declaring(entity, "<r a=\"" + manyRefs + "\"/>"), false},
        {"nested, 9 MB", declaring(nested, "<r>" + nestedRefs.substr(0, 3 * 90) + "</r>"), true},
        {"nested, 15 MB", declaring(nested, "<r>" + nestedRefs + "</r>"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XMLLoader store = storeFrom(c.xml);
        std::vector<std::string> values;
        EXPECT_EQ(store.getVector("/r", values, 0), c.loads);
    }
    XMLLoader store = storeFrom(cases[0].xml);
    std::vector<std::string> values;
    ASSERT_TRUE(store.getVector("/r | /r/@a", values, 0));
    EXPECT_EQ(values, (std::vector<std::string>{"ACME  &  ACME", "ACME"}));
}

}  // namespace
