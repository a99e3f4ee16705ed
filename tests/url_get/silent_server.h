#pragma once

#include <string>

// A socket on 127.0.0.1 that listens and never answers: the kernel completes each connection,
// and the request is then met with silence.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();

    std::string Url() const;

    // A loopback URL on a port that is bound but not listening, so connecting is refused and
    // nobody else can start answering on it while the test runs.
    static std::string RefusedUrl();

private:
    int m_socket = -1;
    int m_port = 0;
};
