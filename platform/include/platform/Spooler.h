// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// Registry value type of binary driver data.
inline constexpr uint32_t kRegBinary = 3;

enum class QueueAccess { Plain, Full };

// The code an EndJob failure carries when the spooler took the whole job and
// it waits there still, not printed yet: nothing is on the paper, though
// nothing need be sent again.
inline constexpr int32_t kSpoolerJobQueued = 4;

// The code an Open with full access fails with where the queue's driver
// record is kept for the printer's driver (a queue of the backend tessaline)
// and the caller may not change it: the record stays as it is, and the user
// is to be told so.
inline constexpr int32_t kSpoolerRecordDenied = 5;

// The installed queues one backend (or the whole spooler) lists.
struct QueueList {
    std::vector<std::string> names;
    // Fails, with the spooler's words, when a spooler answered the enumeration
    // with an error; `names` then holds what the others listed.
    Result<void> status;
    // Fails, with the spooler's address and the system's words, when a
    // spooler could not be reached at all (no server, no answer); `names`
    // then holds what the others listed. A printer missing from the list may
    // well be installed on that spooler.
    Result<void> reached;
};

// A named, typed value of a queue's driver data as stored.
struct DriverValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// One open printer queue. Destroying it closes the queue; a job still running
// then is cancelled. A call that fails says why in the spooler's own words
// (empty when it gave none).
class SpoolerQueue {
public:
    virtual ~SpoolerQueue() = default;
    // Starts a raw job. Fails when the spooler refused it.
    virtual Result<void> StartRawJob(std::string_view documentName, std::string_view dataType) = 0;
    // Hands bytes to the running job. Fails when they (or bytes gathered
    // earlier and flushed now) were refused.
    virtual Result<void> Write(std::span<const uint8_t> bytes) = 0;
    // Ends the running job. Fails when it could not be handed over whole.
    virtual Result<void> EndJob() = 0;
    // Abandons the running job, so the printer gets nothing partial where the
    // backend still allows that.
    virtual void CancelJob() = 0;
    // The stored value, or nothing when it was never written or cannot be read.
    virtual std::optional<DriverValue> GetDriverData(std::string_view valueName) = 0;
    // Replaces the whole value. Fails when it could not be stored.
    virtual Result<void> SetDriverData(std::string_view valueName, uint32_t type,
                                       std::span<const uint8_t> bytes) = 0;
};

// A source of printer queues: CUPS, the virtual printers, or a test double.
class SpoolerBackend {
public:
    virtual ~SpoolerBackend() = default;
    // The queues this backend offers, under the names users see, in its own order.
    virtual QueueList ListQueues() = 0;
    // Opens a queue by a listed name; fails, in the spooler's own words, when
    // this backend cannot.
    virtual Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name,
                                                       QueueAccess access) = 0;
    // True when `listed`, a name this backend listed, begins with `name` as
    // this spooler compares names: byte for byte, unless the spooler says
    // otherwise (Windows' ignores case).
    virtual bool NameBeginsWith(std::string_view listed, std::string_view name) const {
        return listed.starts_with(name);
    }
    // True when `listed` is `name` as this spooler compares names.
    virtual bool NameIs(std::string_view listed, std::string_view name) const {
        return listed == name;
    }
};

// The installed backends in listing order (CUPS first, then virtual printers).
class Spooler {
public:
    void Install(std::shared_ptr<SpoolerBackend> backend);
    // Every backend's queues, one after the other; the status of the first
    // backend whose enumeration failed.
    QueueList ListQueues() const;
    // The listed queues whose names begin with `name` as their own spooler
    // compares names; the status as ListQueues gives it.
    QueueList ListQueuesBeginningWith(std::string_view name) const;
    // Opens the named queue (as its spooler compares names) on the first
    // backend that lists it; fails with
    // the backend's words, or because no backend lists the name.
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) const;

private:
    std::vector<std::shared_ptr<SpoolerBackend>> m_backends;
};

} // namespace tessaline
