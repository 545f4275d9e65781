// SPDX-License-Identifier: MIT
#pragma once

#include <cups/http.h>
#include <memory>
#include <string>

namespace tessaline {

struct HttpCloser {
    void operator()(http_t* http) const { httpClose(http); }
};

// One connection of our own to the server, so that a job's document stream
// never shares libcups's per-thread default connection with other requests.
using CupsConnection = std::unique_ptr<http_t, HttpCloser>;

// Connects to the server libcups chooses by its own rules; null when it
// cannot be reached, and then `whyNot` (where given) says so with the
// server's address and the system's words: "CUPS is not reachable at
// localhost:631: Connection refused".
CupsConnection ConnectToCups(std::string* whyNot = nullptr);

} // namespace tessaline
