// SPDX-License-Identifier: MIT
#include "FakeIppServer.h"
#include "platform/cups/CupsBackend.h"
#include "tests/support/PrivateCups.h"

#include <gtest/gtest.h>

using namespace tessaline;
using namespace tessaline::test;

namespace {

// No server is not an empty server: the list says where CUPS was looked for
// and the system's words, and so does every request that needs it.
TEST(CupsQueueList, ServerThatCannotBeReachedIsSaidSo) {
    TempFolder temp;
    const std::string socket = (temp.Path() / "nobody-listens.sock").string();
    UseCupsServer(socket);
    CupsBackend backend(temp.Path() / "driver-data");
    const QueueList list = backend.ListQueues();
    EXPECT_TRUE(list.status);
    EXPECT_TRUE(list.names.empty());
    const std::string words = "CUPS is not reachable at " + socket + ": No such file or directory";
    EXPECT_EQ(list.reached.Reason(), words);
    const auto opened = backend.Open("THERMAL #1", QueueAccess::Plain);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.Reason(), words);
}

TEST(CupsQueueList, FollowsTheServersAnswer) {
    struct Case {
        const char* what;
        std::string response;
        bool ok;
        std::vector<std::string> names;
    };
    const std::vector<FakePrinter> printers = {
        {"Z_LAST_BY_NAME", "THERMAL #1"}, {"PLAIN", ""}, {"THERMAL_12", "THERMAL #12"}};
    const Case cases[] = {
        {"queues, in the server's order",
         IppHttpResponse(0x0000, printers),
         true,
         {"THERMAL #1", "PLAIN", "THERMAL #12"}},
        {"no queues at all", IppHttpResponse(0x0000, {}), true, {}},
        {"not-found: the scheduler has no queues", IppHttpResponse(0x0406, {}), true, {}},
        {"IPP internal error", IppHttpResponse(0x0500, printers), false, {}},
        {"IPP forbidden", IppHttpResponse(0x0401, {}), false, {}},
        {"HTTP forbidden", HttpErrorResponse("403 Forbidden"), false, {}},
        {"HTTP server error", HttpErrorResponse("500 Internal Server Error"), false, {}},
        {"connection closed without an answer", "", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const auto socket = temp.Path() / "ipp.sock";
        FakeIppServer server(socket, c.response);
        UseCupsServer(socket.string());
        CupsBackend backend(temp.Path() / "driver-data");
        const QueueList list = backend.ListQueues();
        EXPECT_EQ(list.status.Ok(), c.ok);
        EXPECT_EQ(list.names, c.names);
        EXPECT_GE(server.Requests(), 1);
    }
}

TEST(CupsQueueList, OpensNothingWhenTheServerAnswersWithAnError) {
    TempFolder temp;
    const auto socket = temp.Path() / "ipp.sock";
    FakeIppServer server(socket, HttpErrorResponse("500 Internal Server Error"));
    UseCupsServer(socket.string());
    CupsBackend backend(temp.Path() / "driver-data");
    EXPECT_FALSE(backend.Open("THERMAL #1", QueueAccess::Full));
}

} // namespace
