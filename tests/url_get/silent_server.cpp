#include "silent_server.h"

#include <arpa/inet.h>
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
}

SilentServer::~SilentServer() {
    close(m_socket);
}

std::string SilentServer::Url() const {
    return UrlFor(m_port);
}

std::string SilentServer::RefusedUrl() {
    static int port = 0;
    static const int fd = BindLoopback(&port); // kept for the life of the test program
    (void)fd;
    return UrlFor(port);
}
