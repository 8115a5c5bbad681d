// Runs a built program as a user would: its own process, given arguments and
// standard input, under LC_ALL=C; gives back its output, errors and status.
#ifndef TREEVAL_TEST_RUN_H
#define TREEVAL_TEST_RUN_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

inline std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeWhole(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Runs program with args; input is fed on standard input (from a file, so
// a program that reads nothing never blocks). stdoutPath, when given,
// replaces the captured standard output (for example /dev/full).
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& input = "", const std::string& stdoutPath = "",
                            const std::vector<std::string>& prefix = {}) {
    char dir[] = "/tmp/treeval-run-XXXXXX";
    std::string base = mkdtemp(dir);
    std::string in = base + "/in", out = base + "/out", err = base + "/err";
    writeWhole(in, input);

    std::vector<std::string> argvText = prefix;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("LC_ALL=", 0) != 0) envText.push_back(*e);
    envText.push_back("LC_ALL=C");
    std::vector<char*> envp;
    for (std::string& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1,
                                     stdoutPath.empty() ? out.c_str() : stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    RunResult result;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readWhole(out);
    result.err = readWhole(err);
    unlink(in.c_str());
    unlink(out.c_str());
    unlink(err.c_str());
    rmdir(base.c_str());
    return result;
}

// A fresh temporary directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char dir[] = "/tmp/treeval-test-XXXXXX";
        path_ = mkdtemp(dir);
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path_ + "'";
        [[maybe_unused]] int rc = std::system(command.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

#endif
