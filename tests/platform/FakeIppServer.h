// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tessaline::test {

// A stand-in IPP server on a local socket that answers every request with
// one fixed HTTP response, for the cases a real scheduler will not produce
// on demand (errors in answer to a printer enumeration).
class FakeIppServer {
public:
    // Serves `response` (a whole HTTP response; empty: close without
    // answering) on the socket `socketPath`.
    FakeIppServer(std::filesystem::path socketPath, std::string response);
    ~FakeIppServer();
    FakeIppServer(const FakeIppServer&) = delete;
    FakeIppServer& operator=(const FakeIppServer&) = delete;

    int Requests() const { return m_requests; }

private:
    void Serve();
    void Answer(int client);

    std::filesystem::path m_socketPath;
    std::string m_response;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

// An IPP printer: its printer-name and printer-info ("": none sent).
struct FakePrinter {
    std::string name;
    std::string info;
};

// "HTTP/1.1 200 OK" carrying an IPP response with `status` and one
// printer-attributes group per printer.
std::string IppHttpResponse(uint16_t status, const std::vector<FakePrinter>& printers);
// An HTTP error response without a body, e.g. "403 Forbidden".
std::string HttpErrorResponse(const std::string& statusLine);

} // namespace tessaline::test
