// SPDX-License-Identifier: MIT
#include "FakeIppServer.h"

#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessaline::test {

namespace {

void AppendAttribute(std::string& out, uint8_t tag, const std::string& name,
                     const std::string& value) {
    out += static_cast<char>(tag);
    out += static_cast<char>(name.size() >> 8);
    out += static_cast<char>(name.size() & 0xFF);
    out += name;
    out += static_cast<char>(value.size() >> 8);
    out += static_cast<char>(value.size() & 0xFF);
    out += value;
}

bool SendAll(int fd, const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        at += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string IppHttpResponse(uint16_t status, const std::vector<FakePrinter>& printers) {
    std::string ipp;
    ipp += '\x02';
    ipp += '\x00';
    ipp += static_cast<char>(status >> 8);
    ipp += static_cast<char>(status & 0xFF);
    ipp += std::string("\x00\x00\x00\x01", 4); // request id
    ipp += '\x01';                             // operation attributes
    AppendAttribute(ipp, 0x47, "attributes-charset", "utf-8");
    AppendAttribute(ipp, 0x48, "attributes-natural-language", "en");
    for (const FakePrinter& printer : printers) {
        ipp += '\x04'; // printer attributes
        AppendAttribute(ipp, 0x42, "printer-name", printer.name);
        if (!printer.info.empty()) {
            AppendAttribute(ipp, 0x41, "printer-info", printer.info);
        }
    }
    ipp += '\x03'; // end of attributes
    return "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
           std::to_string(ipp.size()) + "\r\nConnection: close\r\n\r\n" + ipp;
}

std::string HttpErrorResponse(const std::string& statusLine) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

FakeIppServer::FakeIppServer(std::filesystem::path socketPath, std::string response)
    : m_socketPath(std::move(socketPath)), m_response(std::move(response)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = m_socketPath.string();
    if (path.size() >= sizeof address.sun_path) {
        throw std::runtime_error("socket path too long");
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0) {
        throw std::runtime_error("cannot listen on " + path);
    }
    m_thread = std::thread([this] { Serve(); });
}

FakeIppServer::~FakeIppServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    ::unlink(m_socketPath.c_str());
}

void FakeIppServer::Serve() {
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) {
            continue;
        }
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        Answer(client);
        ::close(client);
    }
}

// Reads the request head, says "100 Continue" when asked, reads the body as
// far as Content-Length says, then answers.
void FakeIppServer::Answer(int client) {
    std::string request;
    char chunk[4096];
    size_t headEnd = std::string::npos;
    size_t need = 0;
    bool continued = false;
    for (;;) {
        if (headEnd != std::string::npos && request.size() >= headEnd + 4 + need) {
            break;
        }
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            break;
        }
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) {
            break;
        }
        request.append(chunk, static_cast<size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
            if (headEnd == std::string::npos) {
                continue;
            }
            std::string head = request.substr(0, headEnd);
            for (char& c : head) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (const size_t at = head.find("content-length:"); at != std::string::npos) {
                need = std::stoul(head.substr(at + 15));
            }
            if (head.find("expect: 100-continue") != std::string::npos && !continued) {
                continued = true;
                SendAll(client, "HTTP/1.1 100 Continue\r\n\r\n");
            }
        }
    }
    ++m_requests;
    if (!m_response.empty()) {
        SendAll(client, m_response);
    }
}

} // namespace tessaline::test
