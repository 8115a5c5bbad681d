// The treeval command's allocator settings: memory is set aside in advance
// only for a large file of dense markup, the allocator then serves from it,
// and small, missing or odd files change nothing.
#include "allocator.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifdef TREEVAL_MIMALLOC
#include <mimalloc.h>
#endif

#include "run.h"

namespace {

const long MiB = 1 << 20;

long residentBytes() {
    long size = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return -1;
    if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(statm);
    return resident * sysconf(_SC_PAGESIZE);
}

void writeRepeated(const std::string& path, const std::string& piece, long bytes) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    while (static_cast<long>(block.size()) < MiB)
        block += piece;
    for (long written = 0; written < bytes; written += static_cast<long>(block.size()))
        out << block;
}

TEST(Allocator, LeavesSmallMissingAndOddFilesAlone) {
    TempDir dir;
    writeRepeated(dir.file("small.xml"), "<a/>", MiB);
    std::ofstream(dir.file("empty.xml")).close();
    const std::string cases[] = {dir.file("small.xml"), dir.file("empty.xml"),
                                 dir.file("missing.xml"), dir.path()};
    for (const std::string& file : cases) {
        SCOPED_TRACE(file);
        const long before = residentBytes();
        tuneAllocatorFor(file.c_str());
        EXPECT_LT(residentBytes() - before, 8 * MiB);
    }
    tuneAllocatorFor(nullptr);
}

TEST(Allocator, SetsLittleAsideForLongText) {
    TempDir dir;
    writeRepeated(dir.file("text.xml"), "words and more words ", 40 * MiB);
    const long before = residentBytes();
    tuneAllocatorFor(dir.file("text.xml").c_str());
    EXPECT_LT(residentBytes() - before, 8 * MiB);
}

#ifdef TREEVAL_MIMALLOC
// Dense markup asks for four bytes per byte of file, in whole 32 MiB
// blocks. Once the allocator's first region is used up, what is allocated
// lands in the pages already there: the process grows by less than it
// allocates.
TEST(Allocator, ServesAllocationsFromMemorySetAsideForDenseMarkup) {
    char* probe = static_cast<char*>(std::malloc(1));
    ASSERT_NE(probe, nullptr);
    *probe = 0;
    const bool mimallocServes = mi_is_in_heap_region(probe);
    std::free(probe);
    if (!mimallocServes) GTEST_SKIP() << "malloc is not mimalloc's here (a memory checker?)";
    TempDir dir;
    writeRepeated(dir.file("dense.xml"), "<item/>", 20 * MiB);
    const long before = residentBytes();
    tuneAllocatorFor(dir.file("dense.xml").c_str());
    const long afterSetAside = residentBytes();
    EXPECT_GE(afterSetAside - before, 60 * MiB);
    EXPECT_LE(afterSetAside - before, 64 * MiB + 8 * MiB);

    const int count = 800000;
    std::vector<std::string> nodes;
    nodes.reserve(count);
    for (int i = 0; i < count; ++i)
        nodes.emplace_back(100, static_cast<char>('a' + i % 26));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(nodes[i][99], static_cast<char>('a' + i % 26));
    const long allocated = count * 112L;
    EXPECT_LT(residentBytes() - afterSetAside, allocated - 20 * MiB);
}
#endif

}  // namespace
