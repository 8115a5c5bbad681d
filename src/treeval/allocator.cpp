// The command's allocator settings. A parsed document of many small
// elements takes six to eight bytes of memory per byte of file, and building
// it one page fault at a time spends a large part of the parse in the
// kernel's fault path. For a large file the allocator is handed a region of
// about the memory the tree will at least take, filled with pages in one
// call, so that part of the tree is built without a fault. (Large pages were
// measured too: where the host backs a virtual machine's memory on demand
// they made large parses slower, not faster.)
#include "allocator.h"

#ifdef TREEVAL_MIMALLOC

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <mimalloc.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace {

// The allocator takes regions in whole blocks of this size and alignment.
constexpr std::size_t BLOCK = std::size_t(32) << 20;
// The tree takes at least this much memory for each markup opening ("<"),
// about half of what an element with a short text takes; long texts and
// blank text between elements add markup-free bytes that cost far less.
constexpr std::size_t BYTES_PER_TAG = 64;
// Never more than this per byte of file: a region the tree does not fill
// is memory the process holds for nothing.
constexpr std::size_t MOST_BYTES_PER_FILE_BYTE = 4;
// The share of markup is read from the file's beginning.
constexpr std::size_t SAMPLE = std::size_t(1) << 20;

// The file's size, and the number of "<" in its first SAMPLE bytes.
struct Shape {
    std::size_t size = 0;
    std::size_t sampled = 0;
    std::size_t tags = 0;
};

// Only a regular file is opened, and without blocking: the loader reports
// every other case itself.
Shape shapeOf(const char* file) {
    Shape shape;
    if (!file) return shape;
    const int fd = open(file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return shape;
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        std::vector<char> head(std::min(SAMPLE, static_cast<std::size_t>(status.st_size)));
        const ssize_t n = pread(fd, head.data(), head.size(), 0);
        if (n > 0) {
            shape.size = static_cast<std::size_t>(status.st_size);
            shape.sampled = static_cast<std::size_t>(n);
            shape.tags = static_cast<std::size_t>(std::count(head.begin(), head.begin() + n, '<'));
        }
    }
    close(fd);
    return shape;
}

// In whole blocks, and never more than a quarter of the machine's memory.
std::size_t regionFor(const Shape& shape) {
    if (shape.sampled == 0) return 0;
    const double perByte =
        std::min<double>(MOST_BYTES_PER_FILE_BYTE,
                         double(BYTES_PER_TAG) * double(shape.tags) / double(shape.sampled));
    double size = perByte * double(shape.size);
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) size = std::min(size, double(pages) / 4 * double(pageSize));
    return static_cast<std::size_t>(size) / BLOCK * BLOCK;
}

// A region the allocator serves from first. Pages that cannot be put in at
// once come one fault at a time, as without it.
void provideRegion(std::size_t size) {
    void* mapped = mmap(nullptr, size + BLOCK, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return;
    const auto address = reinterpret_cast<std::uintptr_t>(mapped);
    void* start = reinterpret_cast<void*>((address + BLOCK - 1) & ~(BLOCK - 1));
    madvise(start, size, MADV_POPULATE_WRITE);
    if (!mi_manage_os_memory(start, size, true, false, true, -1)) munmap(mapped, size + BLOCK);
}

// Whether the process's malloc is mimalloc's: a tool that puts its own
// allocator in place (a memory checker, a preloaded allocator) would never
// use the region.
bool mimallocServesMalloc() {
    char* probe = static_cast<char*>(std::malloc(1));
    if (!probe) return false;
    *probe = 0;
    const bool served = mi_is_in_heap_region(probe);
    std::free(probe);
    return served;
}

}  // namespace

void tuneAllocatorFor(const char* file) {
    if (!mimallocServesMalloc()) return;
    const std::size_t size = regionFor(shapeOf(file));
    if (size > 0) provideRegion(size);
}

#else

// The system allocator is left as it is.
void tuneAllocatorFor(const char*) {}

#endif
