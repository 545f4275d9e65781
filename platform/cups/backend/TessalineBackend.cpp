// SPDX-License-Identifier: MIT
// The CUPS backend `tessaline`: a queue whose device URI is tessaline:ADDRESS
// plays the part the design's Windows driver plays. Each job gets the driver
// record's logo commands A and B, as that driver prints them, and goes to the
// printer at ADDRESS; Tessaline's own jobs pass unchanged. It reports to the
// scheduler as backends do: STATE: and INFO: lines on standard error, the
// printer's answers on the back channel, the side channel's questions
// answered, and the exit codes that make CUPS retry, stop or hold.
#include "platform/DriverDataStore.h"
#include "platform/DriverLogos.h"
#include "platform/PrinterAddress.h"
#include "platform/connection/PrinterConnection.h"
#include "platform/cups/CupsBackend.h"

#include <cstdio>
#include <cstdlib>
#include <cups/backend.h>
#include <cups/sidechannel.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using tessaline::DriverDataStore;

constexpr const char* kScheme = "tessaline:";

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

// Answers the side channel's questions that wait, without blocking.
void AnswerSideChannel(bool answers) {
    pollfd fd{CUPS_SC_FD, POLLIN, 0};
    while (poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) != 0) {
        cups_sc_command_t command{};
        cups_sc_status_t status{};
        char data[2048];
        int length = sizeof data;
        if (cupsSideChannelRead(&command, &status, data, &length, 0.0) != 0) {
            return;
        }
        switch (command) {
        case CUPS_SC_CMD_GET_BIDI: {
            const char bidi =
                static_cast<char>(answers ? CUPS_SC_BIDI_SUPPORTED : CUPS_SC_BIDI_NOT_SUPPORTED);
            cupsSideChannelWrite(command, CUPS_SC_STATUS_OK, &bidi, 1, 1.0);
            break;
        }
        case CUPS_SC_CMD_GET_STATE: {
            const char state = static_cast<char>(CUPS_SC_STATE_ONLINE);
            cupsSideChannelWrite(command, CUPS_SC_STATUS_OK, &state, 1, 1.0);
            break;
        }
        case CUPS_SC_CMD_DRAIN_OUTPUT:
        case CUPS_SC_CMD_SOFT_RESET:
            cupsSideChannelWrite(command, CUPS_SC_STATUS_OK, nullptr, 0, 1.0);
            break;
        default:
            cupsSideChannelWrite(command, CUPS_SC_STATUS_NOT_IMPLEMENTED, nullptr, 0, 1.0);
            break;
        }
    }
}

// Hands what the printer sent so far to the back channel, for the filters
// and tools that ask it through the queue.
void PassAnswersBack(tessaline::PrinterConnection& connection) {
    std::vector<uint8_t> got;
    if (!connection.CanAnswer() || !connection.Receive(got, std::chrono::milliseconds(0)) ||
        got.empty()) {
        return;
    }
    cupsBackChannelWrite(reinterpret_cast<const char*>(got.data()), got.size(), 1.0);
}

int Run(int argc, char* argv[]) {
    if (argc == 1) {
        std::puts("network tessaline \"Unknown\" \"Tessaline: the logo on every receipt "
                  "(tessaline:ADDRESS)\"");
        return CUPS_BACKEND_OK;
    }
    if (argc < 6 || argc > 7) {
        Say("Usage: tessaline job-id user title copies options [file]");
        return CUPS_BACKEND_FAILED;
    }
    const char* uriText = std::getenv("DEVICE_URI");
    const std::string uri = uriText != nullptr ? uriText : argv[0];
    if (uri.rfind(kScheme, 0) != 0) {
        Say("ERROR: the device URI \"" + uri + "\" is not tessaline:ADDRESS");
        return CUPS_BACKEND_STOP;
    }
    const auto address = tessaline::ParsePrinterAddress(uri.substr(std::string(kScheme).size()));
    if (!address) {
        Say("ERROR: " + address.Reason());
        return CUPS_BACKEND_STOP;
    }
    std::vector<uint8_t> job;
    if (argc == 7) {
        std::ifstream in(argv[6], std::ios::binary);
        if (!in) {
            Say(std::string("ERROR: cannot read the job file ") + argv[6]);
            return CUPS_BACKEND_FAILED;
        }
        job.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        char buffer[65536];
        for (ssize_t n; (n = read(STDIN_FILENO, buffer, sizeof buffer)) > 0;) {
            job.insert(job.end(), buffer, buffer + n);
        }
    }
    const std::string title = argv[3];
    const char* printer = std::getenv("PRINTER");
    if (!tessaline::IsTessalineJob(title) && printer != nullptr) {
        const DriverDataStore store(tessaline::QueueRecordFolder(printer));
        const tessaline::DriverLogoCommands logos =
            tessaline::ReadDriverLogos(store.Get("TTY DeviceConfig"));
        if (logos.Any()) {
            job = tessaline::WithDriverLogos(job, logos);
            Say(std::string("INFO: the driver's logo commands:") + (logos.a ? " A" : "") +
                (logos.b ? " B" : ""));
        }
    }
    Say("STATE: +connecting-to-device");
    auto connection = tessaline::ConnectPrinter(address.Value());
    if (!connection) {
        // The printer may be switched off or busy with another host: later.
        Say("INFO: " + connection.Reason() + "; trying again later");
        return CUPS_BACKEND_RETRY;
    }
    Say("STATE: -connecting-to-device");
    constexpr size_t kBlock = 16384;
    for (size_t at = 0; at < job.size(); at += kBlock) {
        const size_t length = std::min(kBlock, job.size() - at);
        if (auto sent = connection.Value()->Send(std::span<const uint8_t>(job.data() + at, length));
            !sent) {
            Say("ERROR: " + sent.Reason());
            return CUPS_BACKEND_RETRY;
        }
        PassAnswersBack(*connection.Value());
        AnswerSideChannel(connection.Value()->CanAnswer());
    }
    PassAnswersBack(*connection.Value());
    if (auto done = connection.Value()->Finish(); !done) {
        Say("ERROR: " + done.Reason());
        return CUPS_BACKEND_RETRY;
    }
    AnswerSideChannel(connection.Value()->CanAnswer());
    Say("INFO: sent " + std::to_string(job.size()) + " bytes to " + address.Value().text);
    return CUPS_BACKEND_OK;
}

} // namespace

int main(int argc, char* argv[]) {
    return Run(argc, argv);
}
