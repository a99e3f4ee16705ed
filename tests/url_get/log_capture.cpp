#include "log_capture.h"

#include "diag/log.h"

#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

LogCapture::LogCapture() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/veska_url_log_XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        close(fd);
    }
    m_path = pattern;
    CLog::Instance().OpenFile(m_path);
}

LogCapture::~LogCapture() {
    CLog::Instance().CloseFile();
    unlink(m_path.c_str());
}

std::vector<std::string> LogCapture::Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(m_path);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LogCapture::WaitForLines(std::size_t count,
                                                  std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> lines = Lines();
    while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        lines = Lines();
    }
    return lines;
}
