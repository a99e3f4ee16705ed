#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// A socket on 127.0.0.1 that listens and never answers: the kernel completes each connection,
// and the request is then met with silence.
class SilentServer {
public:
    SilentServer() : m_socket(BindLoopback(&m_port)) { listen(m_socket, 16); }
    ~SilentServer() { close(m_socket); }

    std::string Url() const { return UrlFor(m_port); }

    // A loopback URL on a port that is bound but not listening, so connecting is refused and
    // nobody else can start answering on it while the test runs.
    static std::string RefusedUrl() {
        static int port = 0;
        [[maybe_unused]] static const int fd = BindLoopback(&port); // kept for the whole run
        return UrlFor(port);
    }

private:
    // A TCP socket bound to 127.0.0.1 on a port the kernel picks.
    static int BindLoopback(int* port) {
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
    static std::string UrlFor(int port) {
        return "http://127.0.0.1:" + std::to_string(port) + "/silent";
    }

    int m_port = 0;
    int m_socket = -1;
};
