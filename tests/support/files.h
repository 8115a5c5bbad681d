// What the command tests look at in the file system: a file's bytes, inode
// and time stamp, to show a failed command left it alone, and the names in
// a directory, to show nothing was left beside it.
#ifndef TREEVAL_TEST_FILES_H
#define TREEVAL_TEST_FILES_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "run.h"

struct FileState {
    bool exists = false;
    std::string bytes;
    ino_t inode = 0;
    timespec mtime{};
};

inline FileState stateOf(const std::string& path) {
    FileState state;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return state;
    state.exists = true;
    if (S_ISREG(status.st_mode)) state.bytes = readWhole(path);
    state.inode = status.st_ino;
    state.mtime = status.st_mtim;
    return state;
}

inline void expectUnchanged(const std::string& path, const FileState& before) {
    FileState after = stateOf(path);
    ASSERT_EQ(after.exists, before.exists);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
    EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
}

// The names in a directory, sorted.
inline std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

#endif
