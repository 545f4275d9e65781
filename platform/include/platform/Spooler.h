#pragma once

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

// The installed queues one backend (or the whole spooler) lists.
struct QueueList {
    bool ok = true; // false: the spooler answered the enumeration with an error
    std::vector<std::string> names;
};

// A named, typed value of a queue's driver data as stored.
struct DriverValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// One open printer queue. Destroying it closes the queue; a job still running
// then is cancelled.
class SpoolerQueue {
public:
    virtual ~SpoolerQueue() = default;
    // Starts a raw job. False when the spooler refused it.
    virtual bool StartRawJob(std::string_view documentName, std::string_view dataType) = 0;
    // Hands bytes to the running job. False when they (or bytes gathered
    // earlier and flushed now) were refused.
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // Ends the running job. False when it could not be handed over whole.
    virtual bool EndJob() = 0;
    // Abandons the running job, so the printer gets nothing partial where the
    // backend still allows that.
    virtual void CancelJob() = 0;
    // The stored value, or nothing when it was never written or cannot be read.
    virtual std::optional<DriverValue> GetDriverData(std::string_view valueName) = 0;
    // Replaces the whole value. False when it could not be stored.
    virtual bool SetDriverData(std::string_view valueName, uint32_t type,
                               std::span<const uint8_t> bytes) = 0;
    // Why the last call that returned false failed, in the spooler's own
    // words; empty when it gave none.
    virtual std::string LastError() const { return {}; }
};

// A source of printer queues: CUPS, the virtual printers, or a test double.
class SpoolerBackend {
public:
    virtual ~SpoolerBackend() = default;
    // The queues this backend offers, under the names users see, in its own order.
    virtual QueueList ListQueues() = 0;
    // Opens a queue by a listed name; nullptr when this backend cannot.
    virtual std::unique_ptr<SpoolerQueue> Open(std::string_view name, QueueAccess access) = 0;
    // Why the last ListQueues or Open failed, in the spooler's own words;
    // empty when it gave none.
    virtual std::string LastError() const { return {}; }
};

// The installed backends in listing order (CUPS first, then virtual printers).
class Spooler {
public:
    void Install(std::shared_ptr<SpoolerBackend> backend);
    // Every backend's queues, one after the other; ok is false if any backend's
    // enumeration failed.
    QueueList ListQueues() const;
    // Opens the named queue on the first backend that lists it.
    std::unique_ptr<SpoolerQueue> Open(std::string_view name, QueueAccess access) const;
    // Why the last Open failed: the backend's own words, or that no backend
    // lists the name; empty after an Open that succeeded.
    std::string LastError() const { return m_lastError; }

private:
    std::vector<std::shared_ptr<SpoolerBackend>> m_backends;
    mutable std::string m_lastError;
};

} // namespace tessaline
