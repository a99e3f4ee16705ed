#include "loopback_server.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer() {
    m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_arrivals.push_back({request.path, std::chrono::steady_clock::now()});
            if (request.path == "/hold")
                m_released_changed.wait(lock, [this] { return m_released; });
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
        } else if (std::sscanf(request.path.c_str(), "/status/%d/%zu%c", &status, &size, &tail) ==
                   2) {
            response.status = status;
            response.set_content(std::string(size, 'x'), "text/plain");
        } else {
            response.status = 200;
            response.set_content(request.path, "text/plain");
        }
    });
    // Small answers go out at once; one request per connection, so stopping never waits on a
    // client's idle kept-alive link.
    m_server.set_tcp_nodelay(true);
    m_server.set_keep_alive_max_count(1);
    // Bound and listening from here on: connections queue until the thread accepts them.
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

LoopbackServer::~LoopbackServer() {
    Release();
    while (!m_server.is_running()) // stop() only takes effect once the loop runs
        std::this_thread::yield();
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

std::vector<LoopbackServer::Arrival> LoopbackServer::WaitForArrivals(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            if (m_arrivals.size() >= count || std::chrono::steady_clock::now() > deadline)
                return m_arrivals;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

SilentServer::SilentServer(bool listening)
    : m_socket(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(m_socket, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (listening)
        listen(m_socket, 16);
}

SilentServer::~SilentServer() {
    close(m_socket);
}
