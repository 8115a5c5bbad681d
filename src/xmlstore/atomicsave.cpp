// Saving a document without ever losing the file it replaces: serialise it
// into a fresh temporary file in the target's directory, check every write,
// sync, then rename it over the target. Where a rename would do harm or is
// refused, the fully serialised bytes are written over the target in place.
#include "atomicsave.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include <libxml/encoding.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>

namespace {

constexpr int MAX_LINK_HOPS = 40;
constexpr int TEMP_NAME_ATTEMPTS = 100;
// Leaves room for the temporary file's prefix and suffix within the longest
// file name the system allows.
constexpr std::size_t TEMP_BASE_LENGTH = 200;
constexpr mode_t NEW_FILE_MODE = 0666;
constexpr mode_t PRIVATE_MODE = 0600;

std::string describe(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string baseName(const std::string& path) {
    return path.substr(directoryPrefix(path).size());
}

std::string directoryOf(const std::string& path) {
    std::string prefix = directoryPrefix(path);
    return prefix.empty() ? "." : prefix;
}

bool readLink(const std::string& path, std::string& text) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            text.assign(buffer.data(), n);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// write() may write less than asked (a signal, a nearly full disk): go on
// until everything is written or the system reports an error.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Where the serialiser's bytes go: a descriptor, or a string in memory. The
// first error is kept here, since the library does not pass it on.
struct Sink {
    int fd = -1;
    std::string* memory = nullptr;
    int error = 0;
};

// Called by the library from C code: nothing may be thrown through it.
int writeToSink(void* context, const char* data, int size) {
    Sink& sink = *static_cast<Sink*>(context);
    if (sink.memory) {
        try {
            sink.memory->append(data, size);
        } catch (const std::bad_alloc&) {
            sink.error = ENOMEM;
            return -1;
        }
        return size;
    }
    if (!writeAll(sink.fd, data, size)) {
        sink.error = errno;
        return -1;
    }
    return size;
}

// The serialiser, settings and encoding of the library's own file save
// (xmlSaveFormatFileEnc with "UTF-8", formatted), so the bytes are the same;
// only the destination differs. Streaming through an output buffer keeps no
// second copy of the document in memory.
bool serialise(xmlDoc* doc, Sink& sink) {
    xmlCharEncodingHandler* utf8 = xmlFindCharEncodingHandler("UTF-8");
    xmlOutputBuffer* out =
        utf8 ? xmlOutputBufferCreateIO(writeToSink, nullptr, &sink, utf8) : nullptr;
    if (!out) {
        sink.error = ENOMEM;
        return false;
    }
    // Takes the buffer over: flushes what is left and frees it.
    int written = xmlSaveFormatFileTo(out, doc, "UTF-8", 1);
    if (sink.error == 0 && written <= 0) sink.error = EIO;
    return sink.error == 0;
}

// Names that no one else uses: a clash only costs another attempt, since
// every temporary file is created exclusively.
std::string tempName(const std::string& target, int attempt) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t stamp = static_cast<std::uint64_t>(now.tv_nsec) ^
                          (static_cast<std::uint64_t>(getpid()) << 20) ^
                          (static_cast<std::uint64_t>(attempt) << 40);
    return directoryPrefix(target) + "." + baseName(target).substr(0, TEMP_BASE_LENGTH) + "." +
           std::to_string(stamp) + ".tmp";
}

// Unnamed temporary files can be given a name later through /proc only.
bool canNameUnnamedFiles() {
    return access("/proc/self/fd", X_OK) == 0;
}

// A temporary file beside the target. Where the file system allows, it is
// made without a name (O_TMPFILE) and named only just before the rename, so
// a process killed while writing leaves nothing behind. Whatever name it has
// is removed again unless the rename took it.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!name_.empty()) unlink(name_.c_str());
    }

    bool create(const std::string& target, mode_t mode) {
        target_ = target;
        if (canNameUnnamedFiles()) {
            fd_.reset(open(directoryOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd_.valid()) return true;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
        }
        return createNamed(mode);
    }

    UniqueFd& fd() { return fd_; }

    // Gives an unnamed file its name; the descriptor must still be open.
    bool name() {
        if (!name_.empty()) return true;
        std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; ++attempt) {
            std::string candidate = tempName(target_, attempt);
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
                name_ = candidate;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    bool renameOverTarget() {
        if (rename(name_.c_str(), target_.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

private:
    bool createNamed(mode_t mode) {
        for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; ++attempt) {
            std::string candidate = tempName(target_, attempt);
            fd_.reset(open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           mode));
            if (fd_.valid()) {
                name_ = candidate;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    std::string target_;
    std::string name_;
    UniqueFd fd_;
};

// The replacement takes over the old file's owner, group and permission
// bits. Owner first: a change of owner clears the set-id bits, which the
// mode then restores. Where the caller may not give the file away, the
// caller owns the new file; a set-id bit is then dropped rather than handed
// to an owner or group it was never meant for.
bool copyOwnerAndMode(int fd, const struct stat& old) {
    mode_t mode = old.st_mode & 07777;
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        mode &= ~S_ISUID;
        if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) mode &= ~S_ISGID;
    }
    return fchmod(fd, mode) == 0;
}

// A rename that the file system refuses, but a write in place may do: the
// target is a mount point of its own (a bind-mounted file), lies on another
// file system, or sits in a sticky directory that protects it from renames.
bool renameRefused(int error) {
    return error == EBUSY || error == EXDEV || error == EPERM;
}

// No right to create files in the target's directory.
bool directoryUnwritable(int error) {
    return error == EACCES || error == EPERM;
}

enum class Outcome { WRITTEN, FAILED, WRITE_IN_PLACE };

// One save of one document to one named file.
class Saver {
public:
    Saver(xmlDoc* doc, std::string& failure) : doc_(doc), failure_(failure) {}

    bool save(const std::string& name) {
        if (!followLinks(name, path_)) return fail("cannot follow the links of " + name, errno);
        if (!inspectTarget()) return false;
        if (targetExists_ && !replaceable()) return writeInPlace();
        Outcome outcome = replace();
        if (outcome == Outcome::WRITE_IN_PLACE) return writeInPlace();
        return outcome == Outcome::WRITTEN;
    }

private:
    bool fail(const std::string& what, int error) {
        failure_ = describe(what, error);
        return false;
    }
    Outcome failed(const std::string& what, int error) {
        fail(what, error);
        return Outcome::FAILED;
    }

    // Opening the existing file for writing asks the system whether the
    // caller may write it: a rename would replace even a read-only file.
    bool inspectTarget() {
        std::string base = baseName(path_);
        if (base.empty()) return fail("cannot write " + path_, path_.empty() ? ENOENT : EISDIR);
        target_.reset(open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!target_.valid()) {
            if (errno == ENOENT) return true;
            return fail("cannot write " + path_, errno);
        }
        if (fstat(target_.get(), &status_) != 0) return fail("cannot inspect " + path_, errno);
        // Descriptors were opened without blocking only so that a FIFO
        // without a reader cannot hang the save; its writes must block.
        fcntl(target_.get(), F_SETFL, 0);
        targetExists_ = true;
        return true;
    }

    // A rename would cut the other hard links off the new content, and would
    // put a regular file in the place of a device or FIFO.
    bool replaceable() const { return S_ISREG(status_.st_mode) && status_.st_nlink == 1; }

    Outcome replace() {
        TempFile temp;
        if (!temp.create(path_, targetExists_ ? PRIVATE_MODE : NEW_FILE_MODE)) {
            if (directoryUnwritable(errno)) return Outcome::WRITE_IN_PLACE;
            return failed("cannot create a temporary file beside " + path_, errno);
        }
        Sink sink;
        sink.fd = temp.fd().get();
        if (!serialise(doc_, sink)) return failed("cannot write " + path_, sink.error);
        if (targetExists_ && !copyOwnerAndMode(temp.fd().get(), status_))
            return Outcome::WRITE_IN_PLACE;
        if (fsync(temp.fd().get()) != 0) return failed("cannot write " + path_, errno);
        if (!temp.name()) return failed("cannot name a temporary file beside " + path_, errno);
        if (!temp.fd().close()) return failed("cannot write " + path_, errno);
        if (!temp.renameOverTarget()) {
            if (renameRefused(errno)) return Outcome::WRITE_IN_PLACE;
            return failed("cannot replace " + path_, errno);
        }
        syncDirectory();
        return Outcome::WRITTEN;
    }

    // Makes the rename itself durable. The file has been replaced by now,
    // so a failure here cannot turn the save into one that did not happen.
    void syncDirectory() const {
        UniqueFd dir(open(directoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid()) fsync(dir.get());
    }

    // The last resort, not atomic: the document is serialised completely
    // first and the space it needs reserved, so only the final write itself
    // can be hurt.
    bool writeInPlace() {
        std::string bytes;
        Sink sink;
        sink.memory = &bytes;
        if (!serialise(doc_, sink)) return fail("cannot serialise the document", sink.error);
        if (!targetExists_ && !createTarget()) return false;
        bool regular = S_ISREG(status_.st_mode);
        if (regular && !reserveSpace(bytes.size())) return false;
        if (!writeAll(target_.get(), bytes.data(), bytes.size()))
            return fail("cannot write " + path_, errno);
        if (regular && ftruncate(target_.get(), static_cast<off_t>(bytes.size())) != 0)
            return fail("cannot write " + path_, errno);
        if (regular && fsync(target_.get()) != 0) return fail("cannot write " + path_, errno);
        if (!target_.close()) return fail("cannot write " + path_, errno);
        return true;
    }

    bool createTarget() {
        target_.reset(open(path_.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                           NEW_FILE_MODE));
        if (!target_.valid()) return fail("cannot create " + path_, errno);
        if (fstat(target_.get(), &status_) != 0) return fail("cannot inspect " + path_, errno);
        return true;
    }

    // A full disk or the process's file size limit is found out before the
    // old content is touched. File systems that cannot reserve space are
    // written without.
    bool reserveSpace(std::size_t size) {
        rlimit limit{};
        if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            size > limit.rlim_cur)
            return fail("cannot write " + path_, EFBIG);
        if (fallocate(target_.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
            return true;
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
            return fail("cannot write " + path_, errno);
        return true;
    }

    xmlDoc* doc_;
    std::string& failure_;
    std::string path_;
    UniqueFd target_;
    struct stat status_ {};
    bool targetExists_ = false;
};

}  // namespace

std::string directoryPrefix(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool followLinks(const std::string& name, std::string& target) {
    std::string path = name;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = path;
            return true;
        }
        std::string text;
        if (!readLink(path, text)) return false;
        path = !text.empty() && text[0] == '/' ? text : directoryPrefix(path) + text;
    }
    errno = ELOOP;
    return false;
}

bool saveDocument(xmlDoc* doc, const std::string& name, std::string& failure) {
    return Saver(doc, failure).save(name);
}
