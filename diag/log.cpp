#include "diag/log.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

const char* PrefixOf(int level) {
    switch (level) {
    case LOG_INFO:
        return "Info: ";
    case LOG_ERROR:
        return "Error: ";
    default:
        return "";
    }
}

const char* ColourOf(int level) {
    switch (level) {
    case LOG_INFO:
        return "\x1b[90m"; // grey
    case LOG_ERROR:
        return "\x1b[31m"; // red
    default:
        return "";
    }
}

void WriteAll(int fd, iovec* parts, int count) {
    // One writev per line keeps lines from different threads whole on pipes and files.
    while (count > 0) {
        ssize_t n = writev(fd, parts, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        while (count > 0 && static_cast<std::size_t>(n) >= parts->iov_len) {
            n -= static_cast<ssize_t>(parts->iov_len);
            ++parts;
            --count;
        }
        if (count > 0) {
            parts->iov_base = static_cast<char*>(parts->iov_base) + n;
            parts->iov_len -= static_cast<std::size_t>(n);
        }
    }
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

void LogAppendBytes(LogMessage& message, const char* bytes, std::size_t n) {
    const std::size_t room = LogMessage::kMaxLength - message.m_length;
    if (n > room) {
        n = room;
    }
    std::memcpy(message.m_buffer + message.m_length, bytes, n);
    message.m_length += n;
}

void LogAppend(LogMessage& message, const char* text) {
    if (text != nullptr) {
        LogAppendBytes(message, text, std::strlen(text));
    }
    LogAppendBytes(message, " ", 1);
}

void LogAppend(LogMessage& message, int value) {
    char digits[16];
    const int n = std::snprintf(digits, sizeof(digits), "%d ", value);
    LogAppendBytes(message, digits, static_cast<std::size_t>(n));
}

void LogAppend(LogMessage& message, const std::string& text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsSpace(text[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < text.size() && !IsSpace(text[end]) && end - begin < LogMessage::kMaxLength) {
        ++end;
    }
    LogAppendBytes(message, text.data() + begin, end - begin);
}

CLog& CLog::Instance() {
    static CLog log;
    return log;
}

CLog::CLog() {
    const char* target = std::getenv("VESKA_LOG");
    if (target == nullptr || *target == '\0') {
        return;
    }
    if (std::strcmp(target, "-") == 0) {
        OpenConsole(STDERR_FILENO);
    } else if (!OpenFile(target)) {
        std::fprintf(stderr, "veska: cannot open the log file \"%s\" named by VESKA_LOG: %s\n",
                     target, std::strerror(errno));
    }
}

CLog::~CLog() {
    CloseFile();
    ReleaseConsole();
}

void CLog::Write(int level, const char* text) {
    const char* prefix = PrefixOf(level);
    const char* body = text != nullptr ? text : "";
    iovec parts[5];
    int count = 0;
    auto add = [&](const char* s) {
        parts[count].iov_base = const_cast<char*>(s);
        parts[count].iov_len = std::strlen(s);
        ++count;
    };

    std::lock_guard lock(m_sinkLock);
    const int console = m_hConsole;
    if (console >= 0) {
        const bool colour = m_consoleIsTerminal && *ColourOf(level) != '\0';
        if (colour) {
            add(ColourOf(level));
        }
        add(prefix);
        add(body);
        if (colour) {
            add("\x1b[0m"); // leave the terminal as it was
        }
        add("\n");
        WriteAll(console, parts, count);
    }
    const int file = m_hFile;
    if (file >= 0) {
        count = 0;
        add(prefix);
        add(body);
        add("\n");
        WriteAll(file, parts, count);
    }
}

void CLog::ReleaseConsole() {
    std::lock_guard lock(m_sinkLock);
    if (m_hConsole >= 0) {
        close(m_hConsole);
        m_hConsole = -1;
    }
}

void CLog::OpenConsole(int fd) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) {
        return;
    }
    std::lock_guard lock(m_sinkLock);
    if (m_hConsole >= 0) {
        close(m_hConsole);
    }
    m_hConsole = copy;
    m_consoleIsTerminal = isatty(copy) != 0;
}

bool CLog::OpenFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::lock_guard lock(m_sinkLock);
    if (m_hFile >= 0) {
        close(m_hFile);
    }
    m_hFile = fd;
    return true;
}

void CLog::CloseFile() {
    std::lock_guard lock(m_sinkLock);
    if (m_hFile >= 0) {
        close(m_hFile);
        m_hFile = -1;
    }
}
