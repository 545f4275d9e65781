// SPDX-License-Identifier: MIT
#pragma once

#include "tests/support/Environment.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline::test {

// Points libcups at `server` (a socket path or host) for this thread,
// bypassing what it may have remembered from an earlier CUPS_SERVER.
void UseCupsServer(const std::string& server);

// What the capture backend recorded of one job.
struct CapturedJob {
    std::vector<uint8_t> bytes;
    std::string title;
    std::string format;
};

// The state of one job as the server reports it.
struct ServerJob {
    int id = 0;
    std::string title;
    int state = 0; // IPP job state: 3 pending ... 7 canceled, 8 aborted, 9 completed
    int documents = 0;
};

// Base of tests that need the private CUPS server the test run started
// (tests/support/private-cupsd.sh, CTest label "cups"). SetUp points libcups
// at it and XDG_DATA_HOME at a fresh folder, or skips the test when the run
// has no server; with TESSALINE_REQUIRE_CUPS=1 a missing server fails instead.
class PrivateCupsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& ServerDir() const { return m_dir; }
    std::string Socket() const { return (m_dir / "cups.sock").string(); }
    const std::filesystem::path& DataHome() const { return m_dataHome->Path(); }

    // The highest job id the server has given on `queue` (0 when none).
    int LastJobId(const std::string& queue) const;
    // The job of `queue` after `previousLastId`, once it reached a final state.
    std::optional<ServerJob>
    WaitForJobAfter(const std::string& queue, int previousLastId,
                    std::chrono::seconds timeout = std::chrono::seconds(30)) const;
    // The complete capture of job `jobId` of `queue`; nothing on time-out.
    std::optional<CapturedJob>
    WaitForCapture(const std::string& queue, int jobId,
                   std::chrono::seconds timeout = std::chrono::seconds(30)) const;
    // Runs `spool`, waits for the job it puts on `queue` to end and returns
    // what the queue's device received; a failure naming `what` when no job
    // comes or nothing was captured.
    CapturedJob NextJob(const std::string& queue, const std::function<void()>& spool,
                        const std::string& what) const;
    // True when the capture backend wrote anything for job `jobId`.
    bool HasCapture(const std::string& queue, int jobId) const;
    // Runs a CUPS command-line tool against the private server; its exit status.
    int RunCupsTool(const std::string& commandLine) const;

private:
    std::filesystem::path m_dir;
    std::optional<TempFolder> m_dataHome;
    std::optional<ScopedEnvironment> m_environment;
};

} // namespace tessaline::test
