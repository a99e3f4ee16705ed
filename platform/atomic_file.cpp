#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Keeps errno across the clean-up calls made after a failure.
class ErrnoKeeper {
public:
    ErrnoKeeper() : m_saved(errno) {}
    ~ErrnoKeeper() { errno = m_saved; }
    ErrnoKeeper(const ErrnoKeeper&) = delete;
    ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

private:
    int m_saved;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a new, empty file beside the target with a name no one else uses.
int CreateTemporaryFile(const std::string& dir, const std::string& base, std::string& tmpPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        char suffix[64];
        std::snprintf(suffix, sizeof(suffix), ".tmp-%ld-%u-%lx", static_cast<long>(getpid()),
                      counter.fetch_add(1), static_cast<unsigned long>(now.tv_nsec));
        tmpPath = dir + "/." + base + suffix;
        // 0666 lets the umask decide, as for any newly created file.
        const int fd = open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

bool ReplaceFileAtomically(const std::string& fsPath, std::string_view contents) {
    std::string target = fsPath;
    struct stat linkInfo {};
    if (lstat(target.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(target.c_str(), resolved) == nullptr) {
            return false;
        }
        target = resolved;
    }

    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
            return false;
        }
        // A write-protected file stays as it is, as it would if it were opened for writing.
        if (access(target.c_str(), W_OK) != 0) {
            return false;
        }
    }

    const auto slash = target.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    std::string tmpPath;
    const int fd = CreateTemporaryFile(dir, base, tmpPath);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, contents);
    if (ok && exists) {
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    // No fsync: saves come with every page turn, and an fsync costs ~10 ms there. A killed
    // process cannot leave a partial file (the kernel has the whole temporary file before the
    // rename), and ext4 flushes a file replaced by rename before the rename commits, so a power
    // cut brings back one whole version or the other.
    if (close(fd) != 0) {
        ok = false;
    }
    if (ok && rename(tmpPath.c_str(), target.c_str()) == 0) {
        return true;
    }
    ErrnoKeeper keep;
    unlink(tmpPath.c_str());
    return false;
}
