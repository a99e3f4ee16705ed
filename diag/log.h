#pragma once

#include <cstddef>
#include <mutex>
#include <string>

enum LogLevel { LOG_INFO = 0, LOG_ERROR = 1 };

// A log message being composed; it never grows beyond 1023 characters.
class LogMessage {
public:
    static constexpr std::size_t kMaxLength = 1023;

    const char* c_str() const { return m_buffer; }
    std::size_t size() const { return m_length; }

private:
    friend void LogAppendBytes(LogMessage& message, const char* bytes, std::size_t n);
    char m_buffer[4096] = {};
    std::size_t m_length = 0;
};

// A text piece: its characters and one space.
void LogAppend(LogMessage& message, const char* text);
// An integer: its decimal form and one space.
void LogAppend(LogMessage& message, int value);
// A string: only its first word (leading white space skipped), with nothing after it.
void LogAppend(LogMessage& message, const std::string& text);

// The process-wide log: each line goes to the console sink and then to the file sink, skipping
// a sink that is closed. Nothing is open unless VESKA_LOG asks for it: a file name opens the
// file sink (appending), "-" opens the console sink on standard error.
class CLog {
public:
    static CLog& Instance();

    // One line: the level's prefix ("Info: ", "Error: ", none for other levels), the text and LF.
    void Write(int level, const char* text);
    void Write(int level, const LogMessage& message) { Write(level, message.c_str()); }

    // Detaches from the console sink, if one is open.
    void ReleaseConsole();

    // Sinks. The console sink writes to a copy of the descriptor; on a terminal info lines are
    // grey and error lines red.
    void OpenConsole(int fd);
    bool OpenFile(const std::string& path);
    void CloseFile();

    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

private:
    CLog();
    ~CLog();

    // Descriptors rather than handles; -1 while closed. Worker threads write while the window
    // thread may swap a sink: a line is written under the lock, so a sink is never closed under
    // it, and a closed descriptor's number, perhaps already reused by another file, is never
    // written to. (A plain mutex: with a readers' lock, busy writers could starve a swap.)
    std::mutex m_sinkLock;
    int m_hConsole = -1;
    int m_hFile = -1;
    bool m_consoleIsTerminal = false;
};
