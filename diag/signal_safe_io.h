#pragma once

// System calls for code that runs inside a crash signal handler. They go straight to the kernel
// through syscall(): no locks, no allocation, and no sanitizer interceptors (which would check,
// and complain about, the crashed thread's poisoned stack when it is copied into a dump).
// Each returns what the kernel returns, -1 with errno on failure.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace signal_safe {

int Open(const char* path, int flags, int mode = 0);
int Close(int fd);
ssize_t Read(int fd, void* buffer, size_t size);
ssize_t PRead(int fd, void* buffer, size_t size, off_t offset);
// Writes everything; false (errno set) when the kernel refuses part of it.
bool WriteAll(int fd, const void* data, size_t size);
bool PWriteAll(int fd, const void* data, size_t size, off_t offset);
int Access(const char* path, int mode);
long GetCwd(char* buffer, size_t size);
pid_t GetPid();
pid_t GetTid();
long ClockRealtimeSeconds();
[[noreturn]] void ExitProcess(int status);

size_t Length(const char* text);
void Fill(void* target, unsigned char value, size_t size);
void Copy(void* target, const void* source, size_t size);
bool Equal(const char* a, const char* b);

} // namespace signal_safe
