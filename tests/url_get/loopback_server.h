#pragma once

#include <chrono>
#include <condition_variable>
#include <httplib.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An HTTP server on 127.0.0.1 for the life of the object. Every GET is recorded with the time
// it arrived. Paths: /status/<code>/<n> answers <code> with n bytes of 'x'; /endless answers 200
// with a body that never ends; /hold waits for Release(); anything else answers 200 with the
// path as its body.
class LoopbackServer {
public:
    struct Arrival {
        std::string path;
        std::chrono::steady_clock::time_point when;
    };

    LoopbackServer();
    ~LoopbackServer();

    std::string Url(const std::string& path) const;
    void Release();
    // The requests so far, once there are at least `count` of them or 20 s have passed.
    std::vector<Arrival> WaitForArrivals(std::size_t count = 0);

private:
    httplib::Server m_server;
    int m_port = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_released_changed;
    std::vector<Arrival> m_arrivals;
    bool m_released = false;
};

// A socket on 127.0.0.1 that listens (when asked) and never answers: the kernel completes each
// connection, and the request is then met with silence. Without listening, connecting is refused
// and nobody else can start answering on the port while the socket lives.
class SilentServer {
public:
    explicit SilentServer(bool listening = true);
    ~SilentServer();
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/silent"; }

private:
    int m_socket = -1;
    int m_port = 0;
};
