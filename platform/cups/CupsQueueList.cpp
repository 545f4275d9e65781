// SPDX-License-Identifier: MIT
#include "CupsQueueList.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cups/cups.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaline {

namespace {

constexpr int kConnectMs = 30000;

// The system's words for a connection to `server`: libcups's failed attempt
// says "Host is down" whatever the cause, so one plain connection is tried
// to hear it (only after a quick failure, so never another long wait).
std::string WhyNoConnection(const char* server, int port) {
    http_addrlist_t* list = httpAddrGetList(server, AF_UNSPEC, std::to_string(port).c_str());
    if (list == nullptr) {
        return "the name does not resolve";
    }
    int error = 0;
    for (http_addrlist_t* a = list; a != nullptr; a = a->next) {
        const int fd = ::socket(httpAddrFamily(&a->addr), SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&a->addr),
                                        static_cast<socklen_t>(httpAddrLength(&a->addr)));
        error = connected == 0 ? 0 : errno;
        ::close(fd);
        if (connected == 0) {
            break;
        }
    }
    httpAddrFreeList(list);
    return error != 0 ? std::strerror(error) : "it took the connection, then dropped it";
}

} // namespace

CupsConnection ConnectToCups(std::string* whyNot) {
    const auto started = std::chrono::steady_clock::now();
    CupsConnection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                     1, kConnectMs, nullptr));
    if (http == nullptr && whyNot != nullptr) {
        // A local socket is named by its path; a host by name and port.
        const std::string server = cupsServer();
        // Appended piece by piece, which g++ 12's -O3 checks take without a
        // false overlap warning.
        std::string& why = *whyNot;
        why = "CUPS is not reachable at ";
        why.append(server);
        if (!server.starts_with("/")) {
            why.append(":").append(std::to_string(ippPort()));
        }
        why.append(": ");
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(1)) {
            why.append("no answer within ").append(std::to_string(kConnectMs / 1000)).append(" s");
        } else {
            why.append(WhyNoConnection(server.c_str(), ippPort()));
        }
    }
    return http;
}

std::optional<std::vector<CupsQueueEntry>> FetchCupsQueues(http_t* http) {
    std::vector<CupsQueueEntry> queues;
    if (http == nullptr) {
        return queues;
    }
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kWanted[] = {"printer-name", "printer-info", "device-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  kWanted);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (response == nullptr) {
        // An HTTP error status is the server's answer; anything else means the
        // connection broke before one came, which counts as no server.
        if (httpGetStatus(http) >= HTTP_STATUS_MULTIPLE_CHOICES) {
            return std::nullopt;
        }
        return queues;
    }
    const ipp_status_t status = ippGetStatusCode(response);
    if (status == IPP_STATUS_ERROR_NOT_FOUND) {
        // The scheduler's way of saying it has no queues at all.
        ippDelete(response);
        return queues;
    }
    if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
        ippDelete(response);
        return std::nullopt;
    }

    ipp_attribute_t* attr = ippFirstAttribute(response);
    while (attr != nullptr) {
        while (attr != nullptr && ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
            attr = ippNextAttribute(response);
        }
        if (attr == nullptr) {
            break;
        }
        std::string name;
        std::string info;
        std::string device;
        for (; attr != nullptr && ippGetGroupTag(attr) == IPP_TAG_PRINTER;
             attr = ippNextAttribute(response)) {
            const char* attrName = ippGetName(attr);
            const char* value = ippGetString(attr, 0, nullptr);
            if (attrName == nullptr || value == nullptr) {
                continue;
            }
            if (std::string_view(attrName) == "printer-name") {
                name = value;
            } else if (std::string_view(attrName) == "printer-info") {
                info = value;
            } else if (std::string_view(attrName) == "device-uri") {
                device = value;
            }
        }
        if (!name.empty()) {
            queues.push_back({info.empty() ? name : info, name, device});
        }
    }
    ippDelete(response);
    return queues;
}

} // namespace tessaline
