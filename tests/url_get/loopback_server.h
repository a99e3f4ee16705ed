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
// with a body that never ends; anything else answers 200 with the path as its body.
class LoopbackServer {
public:
    struct Arrival {
        std::string path;
        std::chrono::steady_clock::time_point when;
    };

    LoopbackServer();
    ~LoopbackServer();

    std::string Url(const std::string& path) const;
    // Lets every /hold request, present and future, answer.
    void Release();
    std::vector<Arrival> Arrivals();
    // Polls until `count` requests have arrived or `timeout` passes.
    std::vector<Arrival>
    WaitForArrivals(std::size_t count,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    void Handle(const httplib::Request& request, httplib::Response& response);

    httplib::Server m_server;
    int m_port = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
    std::condition_variable m_released_changed;
    bool m_released = false;
};
