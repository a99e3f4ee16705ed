#pragma once

#include "diag/log.h"
#include "tests/text/test_books.h"

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// Points the process log's file sink at a fresh file for the life of the object.
class LogCapture {
public:
    LogCapture() { CLog::Instance().OpenFile(m_dir.File("veska.log")); }
    ~LogCapture() { CLog::Instance().CloseFile(); }

    // The lines logged, once there are at least `count` of them or 20 s have passed.
    std::vector<std::string> Lines(std::size_t count = 0) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            std::vector<std::string> lines;
            std::ifstream in(m_dir.File("veska.log"));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            if (lines.size() >= count || std::chrono::steady_clock::now() > deadline)
                return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

private:
    test_books::TempDir m_dir;
};
