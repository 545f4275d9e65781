// SPDX-License-Identifier: MIT
// A listening TCP socket on 127.0.0.1 at a port the system chooses, for the
// scripted printers of tests (POSIX only).
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaline::test {

// Listens on 127.0.0.1 for one connection at a time; `receiveBuffer`, when
// not 0, sets the socket's receive buffer first (the connections it accepts
// inherit it). The port, or 0 when the socket could not be made; `socketFd`
// gets the socket (-1 when none), which the caller closes.
inline uint16_t ListenOnLoopback(int& socketFd, int receiveBuffer = 0) {
    socketFd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socketFd < 0) {
        return 0;
    }
    if (receiveBuffer != 0) {
        ::setsockopt(socketFd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (::bind(socketFd, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
        ::listen(socketFd, 1) != 0 ||
        ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        return 0;
    }
    return ntohs(at.sin_port);
}

} // namespace tessaline::test
