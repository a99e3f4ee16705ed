#include "diag/signal_safe_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace signal_safe {

int Open(const char* path, int flags, int mode) {
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, mode));
}

int Close(int fd) {
    return static_cast<int>(syscall(SYS_close, fd));
}

ssize_t Read(int fd, void* buffer, size_t size) {
    for (;;) {
        ssize_t n = syscall(SYS_read, fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

ssize_t PRead(int fd, void* buffer, size_t size, off_t offset) {
    for (;;) {
        ssize_t n = syscall(SYS_pread64, fd, buffer, size, offset);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = syscall(SYS_write, fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool PWriteAll(int fd, const void* data, size_t size, off_t offset) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = syscall(SYS_pwrite64, fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

int Access(const char* path, int mode) {
    return static_cast<int>(syscall(SYS_faccessat, AT_FDCWD, path, mode));
}

long GetCwd(char* buffer, size_t size) {
    return syscall(SYS_getcwd, buffer, size);
}

pid_t GetPid() {
    return static_cast<pid_t>(syscall(SYS_getpid));
}

pid_t GetTid() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

long ClockRealtimeSeconds() {
    struct timespec now {};
    if (syscall(SYS_clock_gettime, CLOCK_REALTIME, &now) != 0)
        return 0;
    return static_cast<long>(now.tv_sec);
}

void ExitProcess(int status) {
    for (;;)
        syscall(SYS_exit_group, status);
}

size_t Length(const char* text) {
    size_t n = 0;
    while (text[n] != '\0')
        ++n;
    return n;
}

// Plain loops rather than memset/memcpy: those may be sanitizer interceptors.
void Fill(void* target, unsigned char value, size_t size) {
    volatile unsigned char* bytes = static_cast<unsigned char*>(target);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = value;
}

void Copy(void* target, const void* source, size_t size) {
    volatile unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    for (size_t i = 0; i < size; ++i)
        to[i] = from[i];
}

bool Equal(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

} // namespace signal_safe
