// The command's allocator settings. A parsed document takes about fourteen
// bytes of memory per byte of file, and building it on 4 KiB pages spends
// most of the parse in page faults; large pages remove nearly all of them,
// but reserving them costs more than a small file's whole run.
#include "allocator.h"

#include <sys/stat.h>

#ifdef TREEVAL_MIMALLOC
#include <mimalloc.h>
#endif

namespace {

// Below this size a file parses in a few milliseconds on small pages.
constexpr off_t LARGE_FILE = 1 << 20;

bool isLargeFile(const char* file) {
    struct stat status {};
    return file && stat(file, &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_size >= LARGE_FILE;
}

}  // namespace

void tuneAllocatorFor(const char* file) {
#ifdef TREEVAL_MIMALLOC
    if (isLargeFile(file))
        mi_option_set_enabled(mi_option_large_os_pages, true);
#else
    (void)file;
    (void)isLargeFile;
#endif
}
