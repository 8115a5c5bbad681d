// The treeval command never loses the user's file: concurrent set commands
// all keep their values, a reader never sees a half-written file, a killed
// or failing save leaves the old file whole, permission is respected, names
// are literal, and a failed write to standard output is reported.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "files.h"
#include "run.h"

namespace {

const std::string ESAVEFILE = "Could not save file\n";
const std::string OLD_CONTENT = "<config><old>kept</old></config>\n";

RunResult treeval(const std::vector<std::string>& args,
                  const std::vector<std::string>& prefix = {}) {
    return runProgram(TREEVAL_BIN, args, "", "", prefix);
}

// Starts treeval without waiting for it, its output and errors going to
// files, so that many can run at once.
pid_t startTreeval(const std::vector<std::string>& args, const std::string& errPath) {
    std::vector<std::string> argvText{TREEVAL_BIN};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string largeDocument(std::size_t items) {
    std::string xml = "<config>";
    for (std::size_t i = 0; i < items; ++i)
        xml +=
            "<item id=\"" + std::to_string(i) + "\">value number " + std::to_string(i) + "</item>";
    return xml + "<flag>start</flag></config>";
}

bool available(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Twenty set commands at once on one file, each on its own path: the lock
// makes their load-modify-save cycles take turns, so every value survives,
// also when the file does not exist at the start.
TEST(SafeSave, ConcurrentSetCommandsKeepEveryValue) {
    constexpr int WRITERS = 20, ROUNDS = 20;
    for (int round = 0; round < ROUNDS; ++round) {
        bool fromScratch = round % 2 == 0;
        SCOPED_TRACE("round " + std::to_string(round) + (fromScratch ? ", new file" : ""));
        TempDir dir, logs;
        std::string path = dir.file("conf.xml");
        if (!fromScratch) writeWhole(path, "<config/>");

        std::vector<pid_t> writers;
        for (int i = 0; i < WRITERS; ++i) {
            std::string key = std::to_string(i);
            writers.push_back(startTreeval({path, "/config/k" + key, "v" + key}, logs.file(key)));
        }
        for (int i = 0; i < WRITERS; ++i) {
            EXPECT_EQ(waitFor(writers[i]), 0) << readWhole(logs.file(std::to_string(i)));
            EXPECT_EQ(readWhole(logs.file(std::to_string(i))), "");
        }
        std::string saved = readWhole(path);
        for (int i = 0; i < WRITERS; ++i) {
            std::string key = std::to_string(i);
            EXPECT_NE(saved.find("<k" + key + ">v" + key + "</k" + key + ">"), std::string::npos)
                << "lost the value of k" << key;
        }
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
    }
}

// Get mode takes no lock; the file it reads is always a complete one.
TEST(SafeSave, ReaderNeverSeesAHalfWrittenFile) {
    constexpr int SETS = 20;
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path, largeDocument(20000));
    std::atomic<bool> writing{true};
    std::vector<int> writeStatus;
    std::thread writer([&] {
        for (int i = 0; i < SETS; ++i)
            writeStatus.push_back(treeval({path, "/config/flag", i % 2 ? "odd" : "even"}).status);
        writing = false;
    });
    int reads = 0;
    std::vector<std::string> torn;
    while (writing) {
        RunResult read = treeval({path, "/config/flag"});
        ++reads;
        if (read.status != 0 ||
            (read.out != "start\n" && read.out != "odd\n" && read.out != "even\n"))
            torn.push_back(read.err);
    }
    writer.join();
    EXPECT_EQ(writeStatus, std::vector<int>(SETS, 0));
    EXPECT_GE(reads, 5);
    EXPECT_TRUE(torn.empty()) << torn.size() << " of " << reads << " reads failed: " << torn[0];
}

// A writer killed at any moment of its save leaves the old file (before the
// rename) or the new one (after it), complete, nothing beside it, and no
// lock that would block the next run. The kill comes from strace at a
// chosen system call.
TEST(SafeSave, KilledSaveLeavesTheOldOrTheNewFile) {
    if (!available("strace -o /dev/null true")) GTEST_SKIP() << "needs strace";
    TempDir dir;
    std::string path = dir.file("conf.xml"), copy = dir.file("copy.xml");
    const std::string old = largeDocument(80000);
    writeWhole(copy, old);
    ASSERT_EQ(treeval({copy, "/config/flag", "new"}).status, 0);
    const std::string fresh = readWhole(copy);
    ASSERT_GT(fresh.size(), 3000000u);

    // Only a kill in the instant between naming the finished temporary
    // file and the rename leaves it behind, and then it holds the complete
    // new document.
    struct Case {
        const char* syscall;
        int when;
        bool replaced;
        bool leavesTemp;
    };
    const Case cases[] = {
        {"write", 1, false, false}, {"write", 300, false, false}, {"write", 700, false, false},
        {"fsync", 1, false, false}, {"linkat", 1, false, false},  {"rename", 1, false, true},
        {"fsync", 2, true, false},
    };
    for (const Case& c : cases) {
        std::string injection =
            std::string(c.syscall) + ":signal=SIGKILL:when=" + std::to_string(c.when);
        SCOPED_TRACE(injection);
        writeWhole(path, old);
        RunResult run = treeval({path, "/config/flag", "new"},
                                {"strace", "-f", "-o", "/dev/null", "-e",
                                 std::string("trace=") + c.syscall, "-e", "inject=" + injection});
        EXPECT_EQ(run.status, 128 + SIGKILL);
        EXPECT_TRUE(readWhole(path) == (c.replaced ? fresh : old));
        std::vector<std::string> left = entries(dir.path());
        left.erase(std::remove(left.begin(), left.end(), "conf.xml"), left.end());
        left.erase(std::remove(left.begin(), left.end(), "copy.xml"), left.end());
        ASSERT_EQ(left.size(), c.leavesTemp ? 1u : 0u);
        if (c.leavesTemp) {
            EXPECT_TRUE(readWhole(dir.file(left[0])) == fresh);
            unlink(dir.file(left[0]).c_str());
        }
    }
    writeWhole(path, old);
    EXPECT_EQ(treeval({path, "/config/flag", "new"}).status, 0);
    EXPECT_TRUE(readWhole(path) == fresh);
}

// The file size limit makes the save run out of room without root.
TEST(SafeSave, FileSizeLimitFailsTheSaveAndKeepsTheFile) {
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path, OLD_CONTENT);
    FileState before = stateOf(path);
    RunResult run = treeval({path, "/config/big", std::string(20000, 'x')},
                            {"sh", "-c", "ulimit -f 8 && trap '' XFSZ && exec \"$0\" \"$@\""});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(endsWith(run.err, ESAVEFILE)) << run.err;
    expectUnchanged(path, before);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
}

// A full disk: a small file system of its own in a private mount namespace.
// The file is replaced by a rename, or (hard-linked) written in place.
TEST(SafeSave, FullDiskFailsTheSaveAndKeepsTheFile) {
    if (geteuid() != 0 || !available("unshare -m true")) GTEST_SKIP() << "needs root and mounts";
    const char* script = R"(mnt=$1 out=$2 linked=$3 value=$4
mount -t tmpfs -o size=64k tmpfs "$mnt" || exit 77
printf '%s\n' '<config><old>kept</old></config>' > "$mnt/conf.xml"
[ "$linked" = yes ] && ln "$mnt/conf.xml" "$mnt/other.xml"
head -c 40000 /dev/zero > "$mnt/filler"
"$0" "$mnt/conf.xml" /config/big "$value" 2> "$out/err"
echo $? > "$out/status"
cat "$mnt/conf.xml" > "$out/after"
ls -A "$mnt" > "$out/listing")";
    for (bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "hard-linked, written in place" : "replaced by rename");
        TempDir dir;
        std::string mnt = dir.file("mnt"), out = dir.path();
        mkdir(mnt.c_str(), 0755);
        RunResult run = treeval({mnt, out, linked ? "yes" : "no", std::string(30000, 'x')},
                                {"unshare", "-m", "sh", "-c", script});
        if (run.status == 77) GTEST_SKIP() << "cannot mount a tmpfs here";
        EXPECT_EQ(readWhole(out + "/status"), "1\n");
        EXPECT_TRUE(endsWith(readWhole(out + "/err"), ESAVEFILE)) << readWhole(out + "/err");
        EXPECT_EQ(readWhole(out + "/after"), OLD_CONTENT);
        EXPECT_EQ(readWhole(out + "/listing"),
                  linked ? "conf.xml\nfiller\nother.xml\n" : "conf.xml\nfiller\n");
    }
}

// A read-only file in a writable directory, which a rename could replace.
// Root may write anything, so root runs the command as another user.
TEST(SafeSave, UnwritableFileIsRefused) {
    const std::string nobody = "65534";
    const std::vector<std::string> asNobody{"setpriv", "--reuid=" + nobody, "--regid=" + nobody,
                                            "--clear-groups"};
    bool root = geteuid() == 0;
    if (root && !available("setpriv --reuid=65534 --regid=65534 --clear-groups true"))
        GTEST_SKIP() << "needs setpriv to act as another user";
    TempDir dir;
    chmod(dir.path().c_str(), 0777);
    std::string path = dir.file("conf.xml");
    writeWhole(path, OLD_CONTENT);
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    FileState before = stateOf(path);
    RunResult run = treeval({path, "/config/a", "v"}, root ? asNobody : std::vector<std::string>{});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, ESAVEFILE);
    expectUnchanged(path, before);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"conf.xml"});
}

// "-" is a file like any other: not standard input, not standard output.
TEST(SafeSave, DashIsAFileName) {
    TempDir dir;
    const std::vector<std::string> inDir{"sh", "-c",
                                         "cd '" + dir.path() + "' && exec \"$0\" \"$@\""};
    RunResult set = runProgram(TREEVAL_BIN, {"-", "/config/a", "file"},
                               "<config><a>stdin</a></config>", "", inDir);
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(readWhole(dir.file("-")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <a>file</a>\n</config>\n");
    RunResult get =
        runProgram(TREEVAL_BIN, {"-", "/config/a"}, "<config><a>stdin</a></config>", "", inDir);
    EXPECT_EQ(get.status, 0);
    EXPECT_EQ(get.out, "file\n");
}

TEST(SafeSave, WriteErrorOnStandardOutputFails) {
    TempDir dir;
    std::string path = dir.file("conf.xml");
    writeWhole(path, "<config><a>1</a></config>");
    RunResult run = runProgram(TREEVAL_BIN, {path, "/config/a"}, "", "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "treeval: write error: " + std::string(std::strerror(ENOSPC)) + "\n");
}

}  // namespace
