#pragma once

#include <chrono>
#include <string>
#include <vector>

// Points the process log's file sink at a fresh temporary file for the life of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    std::vector<std::string> Lines() const;
    // Polls the file until it holds at least `count` lines or `timeout` passes; returns the
    // lines either way.
    std::vector<std::string>
    WaitForLines(std::size_t count,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    std::string m_path;
};
