// SPDX-License-Identifier: MIT
// What an interpreter writes of the job it runs: the outcome, its log and the
// refusal that fails the job. Both printer languages' interpreters keep them
// the same way.
#pragma once

#include "escpos/EscPosEmulator.h"

#include <cstddef>
#include <set>
#include <string>
#include <utility>

namespace tessaline {

class JobLog {
protected:
    void Log(size_t offset, std::string text) {
        m_outcome.log.push_back(LogEntry{offset, std::move(text)});
    }
    // Logs the first of a kind only: a receipt repeats its commands.
    void LogOnce(const std::string& kind, size_t offset, std::string text) {
        if (m_loggedKinds.insert(kind).second) {
            Log(offset, std::move(text));
        }
    }
    // A definition the printer will not store fails the job; the first one says why.
    void Refuse(size_t offset, std::string text) {
        if (m_outcome.refusal.empty()) {
            m_outcome.refusal = text;
        }
        Log(offset, std::move(text));
    }

    JobOutcome m_outcome;

private:
    std::set<std::string> m_loggedKinds;
};

} // namespace tessaline
