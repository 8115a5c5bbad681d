// The lock that serialises the load-modify-save cycles of cooperating
// processes on one file: an advisory lock on the file itself, or on its
// directory while the file does not exist yet. No lock file is ever made, so
// a killed holder leaves nothing behind and the system drops its lock.
#include <treeval/xmlloader.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "atomicsave.h"
#include "xmlloaderimpl.h"

namespace {

// Each retry means another process replaced or created the file meanwhile;
// this many in a row means something else keeps changing it.
constexpr int LOCK_ATTEMPTS = 1000;

// NOTHING_TO_LOCK: the file's directory does not exist, so no one can
// create the file, and the save will fail as it would without a lock.
enum class Attempt { HELD, NOTHING_TO_LOCK, RETRY, FAILED };

bool lockExclusive(int fd) {
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A save replaces the file by a new one, so a lock on the old one protects
// nothing: after the wait the name must still lead to the locked file.
Attempt lockNamedFile(const std::string& name, UniqueFd& held) {
    if (!lockExclusive(held.get())) return Attempt::FAILED;
    struct stat locked {};
    struct stat named {};
    if (fstat(held.get(), &locked) != 0) return Attempt::FAILED;
    if (stat(name.c_str(), &named) == 0 && sameFile(locked, named)) return Attempt::HELD;
    held.reset();
    return Attempt::RETRY;
}

// A missing file has nothing to lock: the directory that is to hold it
// stands in until the first save has created it, and from then on the file
// is locked. That save is the holder's last change, so whoever locks the new
// file afterwards reads it complete.
Attempt lockDirectoryOf(const std::string& name, UniqueFd& held) {
    std::string target;
    if (!followLinks(name, target)) return Attempt::FAILED;
    std::string directory = directoryPrefix(target);
    held.reset(
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!held.valid() && (errno == ENOENT || errno == ENOTDIR)) return Attempt::NOTHING_TO_LOCK;
    if (!held.valid() || !lockExclusive(held.get())) return Attempt::FAILED;
    struct stat status {};
    if (stat(name.c_str(), &status) != 0 && errno == ENOENT) return Attempt::HELD;
    held.reset();
    return Attempt::RETRY;
}

Attempt tryLock(const std::string& name, UniqueFd& held) {
    held.reset(open(name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (held.valid()) return lockNamedFile(name, held);
    if (errno != ENOENT) return Attempt::FAILED;
    return lockDirectoryOf(name, held);
}

}  // namespace

bool XMLLoader::lockFile() {
    auto trace = logger.getFunctor<Logger::Id>("lockFile");
    trace(LOG_T, "Locking file " + impl->fileName);
    if (impl->lockFd >= 0) return true;
    for (int attempt = 0; attempt < LOCK_ATTEMPTS; ++attempt) {
        UniqueFd held;
        Attempt result = tryLock(impl->fileName, held);
        if (result == Attempt::HELD) {
            impl->lockFd = held.release();
            return true;
        }
        if (result == Attempt::NOTHING_TO_LOCK) {
            trace(LOG_T, "Nothing to lock: the directory of " + impl->fileName + " does not exist");
            return true;
        }
        if (result == Attempt::FAILED) {
            trace(LOG_ERR, "Could not lock file " + impl->fileName + ": " + std::strerror(errno));
            return false;
        }
    }
    trace(LOG_ERR, "Could not lock file " + impl->fileName + ": it keeps being replaced");
    return false;
}

void XMLLoaderImpl::releaseLock() {
    if (lockFd < 0) return;
    close(lockFd);
    lockFd = -1;
}
