#pragma once

#include "diag/log.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Points the process log's file sink at a fresh temporary file for the life of the object.
class LogCapture {
public:
    LogCapture() {
        const char* dir = std::getenv("TMPDIR");
        m_path =
            std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/veska_url_log_XXXXXX";
        const int fd = mkstemp(m_path.data());
        if (fd >= 0) {
            close(fd);
        }
        CLog::Instance().OpenFile(m_path);
    }
    ~LogCapture() {
        CLog::Instance().CloseFile();
        unlink(m_path.c_str());
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(m_path);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // Polls the file until it holds at least `count` lines or `timeout` passes; returns the
    // lines either way.
    std::vector<std::string>
    WaitForLines(std::size_t count,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::vector<std::string> lines = Lines();
        while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            lines = Lines();
        }
        return lines;
    }

private:
    std::string m_path;
};
