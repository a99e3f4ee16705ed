#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
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

// When process `pid` started, in clock ticks since boot (field 22 of /proc/PID/stat); none when
// no such process runs. A process id alone may be reused; with its start time it names one
// process.
std::optional<unsigned long long> ProcessStartTime(long pid) {
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/%ld/stat", pid);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    char buffer[1024];
    const ssize_t n = read(fd, buffer, sizeof(buffer) - 1);
    close(fd);
    if (n <= 0) {
        return std::nullopt;
    }
    buffer[n] = '\0';
    // The command name (field 2) may hold spaces and parentheses: count from its last ')'.
    const char* field = std::strrchr(buffer, ')');
    if (field == nullptr) {
        return std::nullopt;
    }
    for (int i = 2; i < 22 && field != nullptr; ++i) {
        field = std::strchr(field + 1, ' ');
    }
    if (field == nullptr) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long long start = std::strtoull(field + 1, &end, 10);
    if (end == field + 1) {
        return std::nullopt;
    }
    return start;
}

// This process's start time (0 when unknown), read once per process: a forked child has its own.
unsigned long long OwnStartTime() {
    static std::atomic<long> cachedPid{0};
    static std::atomic<unsigned long long> cachedStart{0};
    const long pid = static_cast<long>(getpid());
    if (cachedPid.load() != pid) {
        cachedStart.store(ProcessStartTime(pid).value_or(0));
        cachedPid.store(pid);
    }
    return cachedStart.load();
}

constexpr char kTemporaryMark[] = ".tmp-";

// Reads the decimal or hexadecimal number at `text` up to `stop` (or the end); false when
// anything else is there.
bool ReadNumber(const char*& text, char stop, int base, unsigned long long& value) {
    char* end = nullptr;
    if (*text == '\0' || *text == '-' || *text == '+' || *text == ' ') {
        return false;
    }
    errno = 0;
    value = std::strtoull(text, &end, base);
    if (end == text || errno != 0 || *end != stop) {
        return false;
    }
    text = *end == '\0' ? end : end + 1;
    return true;
}

// Whether `name` is a temporary file of CreateTemporaryFile's naming whose process is gone:
// ".NAME.tmp-PID-START-COUNTER-NANOSECONDS" (PID and START name the owner), or the older
// ".NAME.tmp-PID-COUNTER-NANOSECONDS", whose owner is taken to live while its id is in use.
bool IsStaleTemporaryName(const char* name) {
    if (name[0] != '.') {
        return false;
    }
    const char* mark = std::strstr(name + 1, kTemporaryMark);
    if (mark == nullptr || mark == name + 1) {
        return false;
    }
    // The last mark: the saved file's own name may hold one too.
    for (const char* next = mark; (next = std::strstr(next + 1, kTemporaryMark)) != nullptr;) {
        mark = next;
    }
    const char* text = mark + std::strlen(kTemporaryMark);
    unsigned long long fields[4] = {};
    int count = 0;
    while (*text != '\0') {
        if (count == 4) {
            return false;
        }
        const char* dash = std::strchr(text, '-');
        const bool last = dash == nullptr;
        if (!ReadNumber(text, last ? '\0' : '-', last ? 16 : 10, fields[count])) {
            return false;
        }
        ++count;
    }
    if ((count != 3 && count != 4) || fields[0] == 0 || fields[0] > 0x7fffffffULL) {
        return false;
    }
    const auto start = ProcessStartTime(long(fields[0]));
    // Without a known start time (0) the process id alone has to tell.
    if (count == 3 || fields[1] == 0) {
        return !start.has_value();
    }
    return !start.has_value() || *start != fields[1];
}

// Creates a new, empty file beside the target with a name no one else uses; the name tells
// which process made it, so that one left by a killed process can be told from a live save.
int CreateTemporaryFile(const std::string& dir, const std::string& base, std::string& tmpPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        char suffix[96];
        std::snprintf(suffix, sizeof(suffix), "%s%ld-%llu-%u-%lx", kTemporaryMark,
                      static_cast<long>(getpid()), OwnStartTime(), counter.fetch_add(1),
                      static_cast<unsigned long>(now.tv_nsec));
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

CAtomicFileWriter::CAtomicFileWriter(const std::string& fsPath) : m_target(fsPath) {
    struct stat linkInfo {};
    if (lstat(m_target.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(m_target.c_str(), resolved) == nullptr) {
            Fail();
            return;
        }
        m_target = resolved;
    }

    struct stat old {};
    m_exists = stat(m_target.c_str(), &old) == 0;
    if (m_exists) {
        if (!S_ISREG(old.st_mode)) {
            errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
            Fail();
            return;
        }
        // A write-protected file stays as it is, as it would if it were opened for writing.
        if (access(m_target.c_str(), W_OK) != 0) {
            Fail();
            return;
        }
        m_mode = old.st_mode & 07777;
    }

    const auto slash = m_target.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : m_target.substr(0, slash));
    const std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    m_fd = CreateTemporaryFile(dir, base, m_tmpPath);
    if (m_fd < 0) {
        m_tmpPath.clear(); // nothing was made
        Fail();
    }
}

CAtomicFileWriter::~CAtomicFileWriter() {
    ErrnoKeeper keep;
    Discard();
}

bool CAtomicFileWriter::Fail() {
    if (m_error == 0) {
        m_error = errno != 0 ? errno : EIO;
    }
    ErrnoKeeper keep;
    Discard();
    return false;
}

void CAtomicFileWriter::Discard() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_tmpPath.empty()) {
        unlink(m_tmpPath.c_str());
        m_tmpPath.clear();
    }
}

bool CAtomicFileWriter::Write(std::string_view bytes) {
    if (m_fd < 0) {
        errno = m_error != 0 ? m_error : EBADF;
        return false;
    }
    return WriteAll(m_fd, bytes) || Fail();
}

bool CAtomicFileWriter::Commit() {
    if (m_fd < 0) {
        errno = m_error != 0 ? m_error : EBADF;
        return false;
    }
    if (m_exists && fchmod(m_fd, m_mode) != 0) {
        return Fail();
    }
    // No fsync: saves come with every page turn, and an fsync costs ~10 ms there. A killed
    // process cannot leave a partial file (the kernel has the whole temporary file before the
    // rename), and ext4 flushes a file replaced by rename before the rename commits, so a power
    // cut brings back one whole version or the other.
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0 || rename(m_tmpPath.c_str(), m_target.c_str()) != 0) {
        return Fail();
    }
    m_tmpPath.clear();
    return true;
}

bool ReplaceFileAtomically(const std::string& fsPath, std::string_view contents) {
    CAtomicFileWriter file(fsPath);
    return file.Write(contents) && file.Commit();
}

int RemoveStaleTemporaryFiles(const std::string& fsDir) {
    // Without /proc no owner can be told alive or gone: then nothing is removed.
    if (!ProcessStartTime(static_cast<long>(getpid())).has_value()) {
        return 0;
    }
    DIR* dir = opendir(fsDir.c_str());
    if (dir == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        if (!IsStaleTemporaryName(entry->d_name)) {
            continue;
        }
        // Only plain files: never follow a link or remove anything else of that name.
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && unlinkat(dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    closedir(dir);
    return removed;
}
