// SPDX-License-Identifier: MIT
#include "CupsQueueList.h"

#include <cups/cups.h>

namespace tessaline {

CupsConnection ConnectToCups() {
    return CupsConnection(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC,
                                       cupsEncryption(), 1, 30000, nullptr));
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
