// SPDX-License-Identifier: MIT
#include "tests/support/PrivateCups.h"

#include <cstdlib>
#include <cups/cups.h>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace tessaline::test {

namespace fs = std::filesystem;

void UseCupsServer(const std::string& server) {
    ::setenv("CUPS_SERVER", server.c_str(), 1);
    cupsSetServer(nullptr);
}

void PrivateCupsTest::SetUp() {
    const char* dir = std::getenv("TESSALINE_CUPS_DIR");
    const char* required = std::getenv("TESSALINE_REQUIRE_CUPS");
    std::string whyNot;
    if (dir == nullptr || dir[0] == '\0') {
        whyNot = "TESSALINE_CUPS_DIR is not set; run through ctest (label cups)";
    } else if (fs::exists(fs::path(dir) / "unavailable")) {
        std::ifstream reason(fs::path(dir) / "unavailable");
        std::getline(reason, whyNot);
        whyNot = "no private CUPS server: " + whyNot;
    } else if (!fs::exists(fs::path(dir) / "cups.sock")) {
        whyNot = std::string("no private CUPS server at ") + dir;
    }
    if (!whyNot.empty()) {
        if (required != nullptr && std::string_view(required) == "1") {
            FAIL() << whyNot;
        }
        GTEST_SKIP() << whyNot;
    }
    m_dir = dir;
    UseCupsServer(Socket());

    // The driver-data store must never write into the real home.
    m_dataHome.emplace();
    m_environment.emplace();
    m_environment->Set("XDG_DATA_HOME", m_dataHome->Path().string());
}

void PrivateCupsTest::TearDown() {
    m_environment.reset();
    m_dataHome.reset();
}

namespace {

std::vector<ServerJob> JobsOf(const std::string& socket, const std::string& queue) {
    std::vector<ServerJob> jobs;
    http_t* http = httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1,
                                10000, nullptr);
    if (http == nullptr) {
        return jobs;
    }
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char* const kWanted[] = {"job-id", "job-name", "job-state", "number-of-documents"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  kWanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    bool inJob = false; // each job is one group, whatever its attributes' order
    for (ipp_attribute_t* attr = response ? ippFirstAttribute(response) : nullptr; attr != nullptr;
         attr = ippNextAttribute(response)) {
        if (ippGetGroupTag(attr) != IPP_TAG_JOB) {
            inJob = false;
            continue;
        }
        if (!inJob) {
            jobs.push_back({});
            inJob = true;
        }
        const std::string_view name = ippGetName(attr) ? ippGetName(attr) : "";
        if (name == "job-id") {
            jobs.back().id = ippGetInteger(attr, 0);
        } else if (name == "job-name") {
            const char* title = ippGetString(attr, 0, nullptr);
            jobs.back().title = title ? title : "";
        } else if (name == "job-state") {
            jobs.back().state = ippGetInteger(attr, 0);
        } else if (name == "number-of-documents") {
            jobs.back().documents = ippGetInteger(attr, 0);
        }
    }
    ippDelete(response);
    httpClose(http);
    return jobs;
}

} // namespace

int PrivateCupsTest::LastJobId(const std::string& queue) const {
    int last = 0;
    for (const ServerJob& job : JobsOf(Socket(), queue)) {
        last = std::max(last, job.id);
    }
    return last;
}

std::optional<ServerJob> PrivateCupsTest::WaitForJobAfter(const std::string& queue,
                                                          int previousLastId,
                                                          std::chrono::seconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const ServerJob& job : JobsOf(Socket(), queue)) {
            if (job.id > previousLastId && job.state >= IPP_JSTATE_CANCELED) {
                return job;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

std::optional<CapturedJob> PrivateCupsTest::WaitForCapture(const std::string& queue, int jobId,
                                                           std::chrono::seconds timeout) const {
    const fs::path base = m_dir / "capture" / (queue + "-" + std::to_string(jobId));
    const fs::path bin = base.string() + ".bin";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(bin)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    CapturedJob captured;
    std::ifstream in(bin, std::ios::binary);
    captured.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::ifstream meta(base.string() + ".meta");
    for (std::string line; std::getline(meta, line);) {
        if (line.rfind("title=", 0) == 0) {
            captured.title = line.substr(6);
        } else if (line.rfind("format=", 0) == 0) {
            captured.format = line.substr(7);
        }
    }
    return captured;
}

CapturedJob PrivateCupsTest::NextJob(const std::string& queue, const std::function<void()>& spool,
                                     const std::string& what) const {
    const int before = LastJobId(queue);
    spool();
    const auto job = WaitForJobAfter(queue, before);
    if (!job) {
        ADD_FAILURE() << "no job reached " << queue << " for " << what;
        return {};
    }
    const auto captured = WaitForCapture(queue, job->id);
    if (!captured) {
        ADD_FAILURE() << "job " << job->id << " for " << what << " printed nothing";
        return {};
    }
    return *captured;
}

bool PrivateCupsTest::HasCapture(const std::string& queue, int jobId) const {
    const std::string name = queue + "-" + std::to_string(jobId);
    return fs::exists(m_dir / "capture" / (name + ".bin")) ||
           fs::exists(m_dir / "capture" / ("." + name + ".part"));
}

int PrivateCupsTest::RunCupsTool(const std::string& commandLine) const {
    const std::string full = "PATH=\"$PATH:/usr/sbin:/usr/bin\" CUPS_SERVER='" + Socket() + "' " +
                             commandLine + " >/dev/null 2>&1";
    return std::system(full.c_str());
}

} // namespace tessaline::test
