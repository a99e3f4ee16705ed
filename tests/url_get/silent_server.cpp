#include "silent_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A TCP socket bound to 127.0.0.1 on a port the kernel picks.
int BindLoopback(int* port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

std::string UrlFor(int port) {
    return "http://127.0.0.1:" + std::to_string(port) + "/silent";
}

} // namespace

SilentServer::SilentServer() {
    m_socket = BindLoopback(&m_port);
    listen(m_socket, 16);
    m_thread = std::thread([this] { AcceptLoop(); });
}

SilentServer::~SilentServer() {
    shutdown(m_socket, SHUT_RDWR); // wakes the blocked accept()
    m_thread.join();
    close(m_socket);
    for (int connection : m_connections) {
        close(connection);
    }
}

void SilentServer::AcceptLoop() {
    for (;;) {
        const int connection = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0 && errno == EINTR) {
            continue;
        }
        if (connection < 0) {
            return;
        }
        std::lock_guard<std::mutex> guard(m_mutex);
        m_connections.push_back(connection);
    }
}

std::string SilentServer::Url() const {
    return UrlFor(m_port);
}

bool SilentServer::WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            if (m_connections.size() >= count) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string SilentServer::RefusedUrl() {
    static int port = 0;
    static const int fd = BindLoopback(&port); // kept for the life of the test program
    (void)fd;
    return UrlFor(port);
}
