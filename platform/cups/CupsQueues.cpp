// SPDX-License-Identifier: MIT
#include "platform/cups/CupsQueues.h"

#include "CupsQueueList.h"

#include <cups/cups.h>

namespace tessaline {

namespace {

constexpr std::string_view kScheme = "tessaline:";

std::string PrinterUri(const std::string& name) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.c_str());
    return uri;
}

// Sends an administration request; the scheduler's words when it refuses.
Result<void> Administer(ipp_t* request, const std::string& what) {
    std::string whyNot;
    const CupsConnection http = ConnectToCups(&whyNot);
    if (http == nullptr) {
        ippDelete(request);
        return Result<void>::Fail(what + ": " + whyNot);
    }
    ippDelete(cupsDoRequest(http.get(), request, "/admin/"));
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        return Result<void>::Fail(what + ": " + cupsLastErrorString());
    }
    return {};
}

} // namespace

Result<void> AddTessalineQueue(const std::string& name, const std::string& address,
                               const std::string& description) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(name).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    const std::string device = std::string(kScheme) + address;
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device.c_str());
    if (!description.empty()) {
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                     description.c_str());
    }
    // Raw: no driver file, so no filter touches the jobs.
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "ppd-name", nullptr, "raw");
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    return Administer(request, "cannot add the queue \"" + name + "\"");
}

Result<void> RemoveTessalineQueue(const std::string& name) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_DELETE_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(name).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return Administer(request, "cannot remove the queue \"" + name + "\"");
}

Result<std::vector<TessalineQueue>> ListTessalineQueues() {
    using R = Result<std::vector<TessalineQueue>>;
    const CupsConnection http = ConnectToCups();
    if (http == nullptr) {
        return R::Fail("cannot reach the CUPS server " + std::string(cupsServer()));
    }
    const auto queues = FetchCupsQueues(http.get());
    if (!queues) {
        return R::Fail(cupsLastErrorString());
    }
    std::vector<TessalineQueue> ours;
    for (const CupsQueueEntry& queue : *queues) {
        if (queue.deviceUri.rfind(kScheme, 0) == 0) {
            ours.push_back({queue.queueName, queue.deviceUri.substr(kScheme.size()),
                            queue.listedName == queue.queueName ? "" : queue.listedName});
        }
    }
    return ours;
}

} // namespace tessaline
