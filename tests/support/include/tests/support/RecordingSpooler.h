// SPDX-License-Identifier: MIT
#pragma once

// A spooler backend for tests: it lists the queues it is given, records
// every call with its bytes, keeps driver data per queue, and fails any call
// it is told to (the n-th call of a kind), giving "refused <n-th> <kind>" as
// its reason.

#include "platform/Spooler.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaline::test {

enum class CallKind {
    List,
    OpenPlain,
    OpenFull,
    StartJob,
    Write,
    EndJob,
    CancelJob,
    Close,
    GetData,
    SetData,
    Pause, // not a spooler call: the stream's sleep, noted where it happened
};

struct SpoolerCall {
    CallKind kind = CallKind::List;
    std::string queue;
    std::string text;           // StartJob: document name; GetData/SetData: value name
    std::string dataType;       // StartJob
    uint32_t type = 0;          // SetData
    std::vector<uint8_t> bytes; // Write, SetData
    int64_t millis = 0;         // Pause
    bool ok = true;             // the answer the backend gave
};

class RecordingSpooler : public SpoolerBackend {
public:
    explicit RecordingSpooler(std::vector<std::string> queueNames = {})
        : names(std::move(queueNames)) {}

    // Makes the n-th call (1-based, counted over the backend's life) of a kind fail.
    void Fail(CallKind kind, size_t nth = 1) { m_failures.emplace_back(kind, nth); }
    void Pause(std::chrono::milliseconds ms) {
        SpoolerCall c;
        c.kind = CallKind::Pause;
        c.millis = ms.count();
        calls.push_back(std::move(c));
    }

    QueueList ListQueues() override {
        const Result<void> ok = Answer(CallKind::List);
        Record(Call(CallKind::List, {}, ok.Ok()));
        QueueList list;
        if (!ok || listFails) {
            list.status = ok ? Result<void>::Fail("refused the list") : ok;
        } else {
            list.names = names;
        }
        return list;
    }

    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) override {
        const CallKind kind =
            access == QueueAccess::Full ? CallKind::OpenFull : CallKind::OpenPlain;
        const Result<void> ok = Answer(kind);
        Record(Call(kind, std::string(name), ok.Ok()));
        if (!ok) {
            return Result<std::unique_ptr<SpoolerQueue>>::Fail(ok.Reason());
        }
        return std::make_unique<Queue>(*this, std::string(name));
    }

    // --- what happened ---

    size_t Count(CallKind kind) const {
        size_t n = 0;
        for (const SpoolerCall& c : calls) {
            n += c.kind == kind ? 1 : 0;
        }
        return n;
    }
    // The bytes of every accepted write, in order.
    std::vector<uint8_t> Written() const {
        std::vector<uint8_t> out;
        for (const SpoolerCall& c : calls) {
            if (c.kind == CallKind::Write && c.ok) {
                out.insert(out.end(), c.bytes.begin(), c.bytes.end());
            }
        }
        return out;
    }
    bool EveryWriteOneByte() const {
        for (const SpoolerCall& c : calls) {
            if (c.kind == CallKind::Write && c.bytes.size() != 1) {
                return false;
            }
        }
        return true;
    }
    // The calls other than the listings (which every open repeats).
    std::vector<CallKind> Sequence() const {
        std::vector<CallKind> out;
        for (const SpoolerCall& c : calls) {
            if (c.kind != CallKind::List) {
                out.push_back(c.kind);
            }
        }
        return out;
    }

    // --- the spooler's state, set freely by tests ---

    std::vector<std::string> names;
    bool listFails = false; // the enumeration reports an error
    std::map<std::string, std::map<std::string, DriverValue>> driverData;
    std::vector<SpoolerCall> calls;

private:
    class Queue : public SpoolerQueue {
    public:
        Queue(RecordingSpooler& owner, std::string name)
            : m_owner(owner), m_name(std::move(name)) {}
        ~Queue() override { m_owner.Record(Call(CallKind::Close, m_name)); }
        Queue(const Queue&) = delete;
        Queue& operator=(const Queue&) = delete;

        Result<void> StartRawJob(std::string_view documentName,
                                 std::string_view dataType) override {
            Result<void> ok = m_owner.Answer(CallKind::StartJob);
            SpoolerCall c = Call(CallKind::StartJob, m_name, ok.Ok());
            c.text = documentName;
            c.dataType = dataType;
            m_owner.Record(std::move(c));
            return ok;
        }
        Result<void> Write(std::span<const uint8_t> bytes) override {
            Result<void> ok = m_owner.Answer(CallKind::Write);
            SpoolerCall c = Call(CallKind::Write, m_name, ok.Ok());
            c.bytes.assign(bytes.begin(), bytes.end());
            m_owner.Record(std::move(c));
            return ok;
        }
        Result<void> EndJob() override {
            Result<void> ok = m_owner.Answer(CallKind::EndJob);
            m_owner.Record(Call(CallKind::EndJob, m_name, ok.Ok()));
            return ok;
        }
        void CancelJob() override { m_owner.Record(Call(CallKind::CancelJob, m_name)); }
        std::optional<DriverValue> GetDriverData(std::string_view valueName) override {
            const bool ok = m_owner.Answer(CallKind::GetData).Ok();
            SpoolerCall c = Call(CallKind::GetData, m_name, ok);
            c.text = valueName;
            m_owner.Record(std::move(c));
            if (!ok) {
                return std::nullopt;
            }
            const auto& values = m_owner.driverData[m_name];
            const auto it = values.find(std::string(valueName));
            if (it == values.end()) {
                return std::nullopt;
            }
            return it->second;
        }
        Result<void> SetDriverData(std::string_view valueName, uint32_t type,
                                   std::span<const uint8_t> bytes) override {
            Result<void> ok = m_owner.Answer(CallKind::SetData);
            std::vector<uint8_t> copy(bytes.begin(), bytes.end());
            SpoolerCall c = Call(CallKind::SetData, m_name, ok.Ok());
            c.text = valueName;
            c.type = type;
            c.bytes = copy;
            m_owner.Record(std::move(c));
            if (ok) {
                m_owner.driverData[m_name][std::string(valueName)] = {type, std::move(copy)};
            }
            return ok;
        }

    private:
        RecordingSpooler& m_owner;
        std::string m_name;
    };

    static SpoolerCall Call(CallKind kind, std::string queue = {}, bool ok = true) {
        SpoolerCall c;
        c.kind = kind;
        c.queue = std::move(queue);
        c.ok = ok;
        return c;
    }
    void Record(SpoolerCall call) { calls.push_back(std::move(call)); }

    // Counts the call and answers whether it succeeds.
    Result<void> Answer(CallKind kind) {
        const size_t n = ++m_seen[kind];
        for (const auto& [k, nth] : m_failures) {
            if (k == kind && nth == n) {
                return Result<void>::Fail("refused " + std::to_string(n) + " " + KindName(kind));
            }
        }
        return {};
    }
    static std::string KindName(CallKind kind) {
        switch (kind) {
        case CallKind::OpenPlain:
        case CallKind::OpenFull:
            return "open";
        case CallKind::StartJob:
            return "start";
        case CallKind::Write:
            return "write";
        case CallKind::EndJob:
            return "end";
        default:
            return "call";
        }
    }

    std::vector<std::pair<CallKind, size_t>> m_failures;
    std::map<CallKind, size_t> m_seen;
};

} // namespace tessaline::test
