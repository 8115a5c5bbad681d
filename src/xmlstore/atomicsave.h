// Writing a document to its file so that the file is never lost: the bytes go
// to a temporary file beside the target, which then replaces it in one
// rename. Also the plain file helpers that loading and locking share.
#ifndef TREEVAL_ATOMICSAVE_H
#define TREEVAL_ATOMICSAVE_H

#include <unistd.h>

#include <string>

#include <libxml/tree.h>

// Owns one open file descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives the descriptor up to the caller.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and tells whether the close succeeded: a file system may
    // report a failed write only here.
    bool close() {
        int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// The path that writing to name really writes: name with symbolic links
// followed (relative link texts taken from the link's own directory). The
// result may not exist yet (a dangling link names the file a save creates).
// False with errno set when the links cannot be read or loop.
bool followLinks(const std::string& name, std::string& target);

// The directory part of a path, with its trailing slash ("" for a bare name).
std::string directoryPrefix(const std::string& path);

// Writes the whole document, indented and encoded as UTF-8, to the file that
// name designates (after symbolic links), replacing it atomically wherever
// the file system allows. True when the document was written. On false the
// file is as it was and failure says why; no temporary file is left behind
// either way.
bool saveDocument(xmlDoc* doc, const std::string& name, std::string& failure);

#endif
