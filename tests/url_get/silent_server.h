#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A server on 127.0.0.1 that accepts every connection and then never answers.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();

    std::string Url() const;
    // Polls until `count` connections were accepted or `timeout` passes.
    bool WaitForConnections(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // A loopback URL on a port that is bound but not listening, so connecting is refused and
    // nobody else can start answering on it while the test runs.
    static std::string RefusedUrl();

private:
    void AcceptLoop();

    int m_socket = -1;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<int> m_connections;
};
