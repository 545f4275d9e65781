// SPDX-License-Identifier: MIT
#include "CupsJobFollower.h"

#include "CupsConnection.h"
#include "platform/Spooler.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <cups/cups.h>
#include <thread>

namespace tessaline {

namespace {

constexpr std::chrono::seconds kDefaultWait{20};
// Asked soon after the job went, then less often: most jobs to a printer
// that is there are done within a few tens of milliseconds.
constexpr std::chrono::milliseconds kFirstPoll{5};
constexpr std::chrono::milliseconds kLongestPoll{200};

std::string QueueUri(const std::string& queueName) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queueName.c_str());
    return uri;
}

// Every value of a keyword attribute, joined by ", ".
std::string Keywords(ipp_attribute_t* attr) {
    std::string joined;
    for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) {
        const char* word = ippGetString(attr, i, nullptr);
        if (word == nullptr || std::strcmp(word, "none") == 0) {
            continue;
        }
        joined += joined.empty() ? "" : ", ";
        joined += word;
    }
    return joined;
}

std::string Text(ipp_attribute_t* attr) {
    const char* text = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
    return text != nullptr ? text : "";
}

// "words (reasons)", whichever of the two CUPS gave.
std::string Said(const std::string& words, const std::string& reasons) {
    if (words.empty()) {
        return reasons;
    }
    return reasons.empty() ? words : words + " (" + reasons + ")";
}

struct JobState {
    int job = 0;              // job-state: 3 pending ... 9 completed; 0 not told
    std::string jobReasons;   // job-state-reasons
    std::string jobMessage;   // job-printer-state-message
    int queue = 0;            // printer-state: 3 idle, 4 processing, 5 stopped
    std::string queueReasons; // printer-state-reasons
    std::string queueMessage; // printer-state-message
    bool accepting = true;
};

Result<JobState> AskState(http_t* http, const std::string& uri, int jobId) {
    JobState state;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const kJobWanted[] = {"job-state", "job-state-reasons",
                                             "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  kJobWanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (response == nullptr || ippGetStatusCode(response) > IPP_STATUS_OK_CONFLICTING) {
        ippDelete(response);
        return Result<JobState>::Fail(std::string("CUPS did not say what became of the job: ") +
                                      cupsLastErrorString());
    }
    state.job = ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0);
    state.jobReasons = Keywords(ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD));
    state.jobMessage = Text(ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT));
    ippDelete(response);

    request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    static const char* const kQueueWanted[] = {"printer-state", "printer-state-reasons",
                                               "printer-state-message",
                                               "printer-is-accepting-jobs"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  kQueueWanted);
    response = cupsDoRequest(http, request, "/");
    if (response != nullptr && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING) {
        state.queue = ippGetInteger(ippFindAttribute(response, "printer-state", IPP_TAG_ENUM), 0);
        state.queueReasons =
            Keywords(ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD));
        state.queueMessage =
            Text(ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT));
        ipp_attribute_t* accepting =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
        state.accepting = accepting == nullptr || ippGetBoolean(accepting, 0) != 0;
    }
    ippDelete(response);
    return state;
}

const char* QueueStateName(int state) {
    switch (state) {
    case IPP_PSTATE_IDLE:
        return "idle";
    case IPP_PSTATE_PROCESSING:
        return "printing";
    case IPP_PSTATE_STOPPED:
        return "stopped";
    default:
        return "in an unknown state";
    }
}

} // namespace

std::chrono::milliseconds CupsJobWait() {
    const char* text = std::getenv("TESSALINE_CUPS_WAIT");
    if (text == nullptr || *text == '\0') {
        return kDefaultWait;
    }
    unsigned seconds = 0;
    const char* end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, seconds);
    if (error != std::errc() || at != end || seconds > 86400) {
        return kDefaultWait;
    }
    return std::chrono::seconds(seconds);
}

Result<void> FollowCupsJob(const std::string& queueName, int jobId,
                           std::chrono::milliseconds wait) {
    if (wait.count() <= 0) {
        return {};
    }
    std::string whyNot;
    const CupsConnection http = ConnectToCups(&whyNot);
    if (http == nullptr) {
        return Result<void>::Fail("job " + std::to_string(jobId) +
                                  " was queued; what became of it is not known: " + whyNot);
    }
    const std::string uri = QueueUri(queueName);
    const std::string job = "job " + std::to_string(jobId) + " on \"" + queueName + "\"";
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds poll = kFirstPoll;
    for (;;) {
        const Result<JobState> asked = AskState(http.get(), uri, jobId);
        if (!asked) {
            return Result<void>::FailAs(asked);
        }
        const JobState& s = asked.Value();
        switch (s.job) {
        case IPP_JSTATE_COMPLETED:
            return {};
        case IPP_JSTATE_ABORTED:
            return Result<void>::Fail("CUPS aborted " + job + ": " +
                                      Said(s.jobMessage, s.jobReasons));
        case IPP_JSTATE_CANCELED:
            return Result<void>::Fail("CUPS cancelled " + job + ": " +
                                      Said(s.jobMessage, s.jobReasons));
        case IPP_JSTATE_HELD:
            return Result<void>::Fail("CUPS holds " + job + ": " +
                                      Said(s.jobMessage, s.jobReasons));
        case IPP_JSTATE_STOPPED:
            return Result<void>::Fail("CUPS stopped " + job + ": " +
                                      Said(s.jobMessage, s.jobReasons));
        default:
            break;
        }
        if (s.queue == IPP_PSTATE_STOPPED) {
            // A stopped queue keeps the job until someone starts it again.
            return Result<void>::Fail("the queue \"" + queueName + "\" is stopped, " + job +
                                      " waits in it: " + Said(s.queueMessage, s.queueReasons));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
            std::string state = std::string("the queue is ") + QueueStateName(s.queue);
            if (const std::string said = Said(s.queueMessage, s.queueReasons); !said.empty()) {
                state += ": " + said;
            }
            return Result<void>::Fail(
                job + " is still " + (s.job == IPP_JSTATE_PROCESSING ? "printing" : "pending") +
                    " after " + std::to_string(seconds) + " s (" + state + ")",
                kSpoolerJobQueued);
        }
        std::this_thread::sleep_for(poll);
        poll = std::min(poll * 2, kLongestPoll);
    }
}

} // namespace tessaline
