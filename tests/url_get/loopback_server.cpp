#include "loopback_server.h"

#include <cstdlib>

LoopbackServer::LoopbackServer() {
    m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    // Small answers go out at once rather than waiting on delayed acknowledgements.
    m_server.set_tcp_nodelay(true);
    // One request per connection: stopping never waits on a client's idle kept-alive link.
    m_server.set_keep_alive_max_count(1);
    // Bound and listening from here on: connections queue until the thread accepts them.
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

LoopbackServer::~LoopbackServer() {
    Release();
    // stop() only takes effect once the loop runs.
    while (!m_server.is_running()) {
        std::this_thread::yield();
    }
    m_server.stop();
    m_thread.join();
}

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void LoopbackServer::Release() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_released = true;
    m_released_changed.notify_all();
}

void LoopbackServer::Handle(const httplib::Request& request, httplib::Response& response) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_arrivals.push_back({request.path, std::chrono::steady_clock::now()});
        if (request.path == "/hold") {
            m_released_changed.wait(lock, [this] { return m_released; });
        }
    }
    int status = 0;
    std::size_t size = 0;
    char tail = 0;
    if (request.path == "/endless") {
        // Streams 'x' for as long as the client reads and the server runs.
        response.set_chunked_content_provider(
            "text/plain", [this](std::size_t, httplib::DataSink& sink) {
                static const std::string chunk(64 * 1024, 'x');
                return m_server.is_running() && sink.write(chunk.data(), chunk.size());
            });
    } else if (std::sscanf(request.path.c_str(), "/status/%d/%zu%c", &status, &size, &tail) == 2) {
        response.status = status;
        response.set_content(std::string(size, 'x'), "text/plain");
    } else {
        response.status = 200;
        response.set_content(request.path, "text/plain");
    }
}

std::vector<LoopbackServer::Arrival> LoopbackServer::Arrivals() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_arrivals;
}

std::vector<LoopbackServer::Arrival>
LoopbackServer::WaitForArrivals(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<Arrival> arrivals = Arrivals();
    while (arrivals.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        arrivals = Arrivals();
    }
    return arrivals;
}
