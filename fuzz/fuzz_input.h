#pragma once

// What the harnesses share: the fuzzer's bytes as a real file, and a scratch directory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

// Stops the run with the input saved: a broken promise is as much a finding as a crash.
inline void Require(bool holds, const char* what = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!holds) {
        std::fprintf(stderr, "broken promise at %s:%d\n", what, line);
        __builtin_trap();
    }
}

// An anonymous in-memory file, reachable by path through /proc, holding the input.
class InputFile {
public:
    InputFile(const std::uint8_t* data, std::size_t size) : m_fd(memfd_create("fuzz-input", 0)) {
        Require(m_fd >= 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = write(m_fd, data + done, size - done);
            Require(n > 0);
            done += static_cast<std::size_t>(n);
        }
    }
    ~InputFile() { close(m_fd); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

// One directory for the whole run, for what the code under test writes.
inline const std::string& ScratchDir() {
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/veska-fuzz-XXXXXX";
        Require(mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    return dir;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace fuzz
