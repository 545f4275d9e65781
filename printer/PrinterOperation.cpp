// SPDX-License-Identifier: MIT
#include "printer/PrinterOperation.h"

#include "platform/PrinterNvRecords.h"
#include "printer/PrinterReport.h"

#include <algorithm>

namespace tessaline {

namespace {

Result<void> Failed(int32_t code, std::string why) {
    return Result<void>::Fail(std::move(why), code);
}

// Why `name` is not among the listed queues, naming the spooler that was not
// reached or did not list its printers.
Result<void> NotListed(const QueueList& list, const std::string& name) {
    std::string why = "the printer \"";
    why += name;
    why += "\" is not installed";
    if (!list.reached) {
        // It may well be installed there.
        why += " (";
        why += list.reached.Reason();
        why += ")";
    } else if (!list.status) {
        // The spooler did not list its printers: say so, not only "not installed".
        why += " (the printers could not be listed: ";
        why += list.status.Reason();
        why += ")";
    }
    return Failed(kPrinterNotInstalled, std::move(why));
}

} // namespace

NvWriteCounter CountInPrinterRecords(const std::filesystem::path& dataHome) {
    return [folder = dataHome / kPrinterRecordsFolder](const std::string& printer,
                                                       const NvWrites& writes) {
        static_cast<void>(PrinterNvRecords(folder).Count(printer, writes.count, writes.what,
                                                         LocalDay(), {}, writes.holds,
                                                         writes.widths, !writes.settingsOnly));
    };
}

NvWriteCounter CountInUsersPrinterRecords() {
    return [](const std::string& printer, const NvWrites& writes) {
        static_cast<void>(PrinterNvRecords().Count(printer, writes.count, writes.what, LocalDay(),
                                                   {}, writes.holds, writes.widths,
                                                   !writes.settingsOnly));
    };
}

int32_t EndedJobResult(const Result<void>& ended) {
    return ended.Code() == kSpoolerJobQueued ? kPrinterQueued : kPrinterNotSent;
}

Result<void> FindListedQueue(const Spooler& spooler, const std::string& name) {
    if (name.empty()) {
        return Failed(kPrinterNotInstalled, "no printer name was given");
    }
    const QueueList list = spooler.ListQueuesBeginningWith(name);
    // The names listed begin with `name`: the one as long is the one.
    if (std::any_of(list.names.begin(), list.names.end(),
                    [&](const std::string& listed) { return listed.size() == name.size(); })) {
        return {};
    }
    return NotListed(list, name);
}

Result<LogoLanguage> LogoCommandsOf(const PrinterContext& context, const std::string& printerName) {
    if (!context.commandsOf) {
        return LogoLanguage::EscPos;
    }
    return context.commandsOf(printerName);
}

Result<void> RunPrinterOperation(const PrinterContext& context, const std::string& printerName,
                                 const PrinterOperation& operation) {
    CPrinterChannel channel(context.spooler);
    // Every installed name begins with the empty one, yet it names none of them.
    if (printerName.empty()) {
        return Failed(kPrinterNotInstalled, "no printer name was given");
    }
    // A printer reached by its address has no queue to look up and no driver
    // whose record could be edited.
    const bool direct = IsPrinterAddress(printerName);
    if (direct) {
        if (Result<PrinterAddress> address = ParsePrinterAddress(printerName); !address) {
            return Failed(kPrinterNotInstalled, address.Reason());
        }
    } else if (channel.CountInstalledPrinters(printerName, context.message) == 0) {
        // Asked once more only now, to name a spooler that is not there.
        return NotListed(context.spooler.ListQueuesBeginningWith(printerName), printerName);
    }
    if (operation.check) {
        if (std::string why = operation.check(); !why.empty()) {
            return Failed(kPrinterRefused, std::move(why));
        }
    }
    // Asked after the stream, so the printer gets the same bytes before it
    // as ever; a file never answers.
    const bool await = direct && operation.awaitNvWrite && context.awaitNvWrite &&
                       ParsePrinterAddress(printerName).Value().scheme != AddressScheme::File;
    if (!channel.OpenLogoDocument(printerName)) {
        return Failed(kPrinterNotStarted, channel.LastError());
    }
    std::string refusal;
    const StreamResult sent =
        operation.stream ? operation.stream(channel, refusal) : StreamResult::Empty;
    if (sent == StreamResult::WriteFailed || sent == StreamResult::Refused) {
        std::string why = sent == StreamResult::WriteFailed ? channel.LastError() : refusal;
        // Whatever part of a command went out must not reach the printer.
        channel.CancelLogoDocument();
        return sent == StreamResult::Refused ? Failed(kPrinterRefused, std::move(why))
                                             : Failed(kPrinterNotSent, std::move(why));
    }
    std::string note;
    if (await && sent == StreamResult::Sent) {
        const auto wait =
            std::max(kNvWriteAnswerWait, ParsePrinterAddress(printerName).Value().readTimeout);
        std::string offline;
        const Result<bool> answered = channel.AwaitStatus(wait, operation.starStatus, &offline);
        if (!answered) {
            note = "sent, not verified: " + answered.Reason();
        } else if (!answered.Value()) {
            // A Star printer still off-line has not shown its registration
            // ended, nor how many of the logos it took.
            const std::string seconds = std::to_string(wait.count() / 1000);
            note = "sent, not verified: ";
            note += printerName;
            if (offline.empty()) {
                note.append(" did not answer within ").append(seconds).append(" s of");
            } else {
                note.append(" was still off-line (").append(offline).append(") ");
                note.append(seconds).append(" s after");
            }
            note += " the NV write";
            if (!operation.nvWrites.what.empty()) {
                note += " (";
                note += operation.nvWrites.what;
                note += ")";
            }
        }
    }
    const bool closed = channel.CloseLogoDocument() != 0;
    if ((closed || channel.JobStillQueued()) && operation.nvWrites.count > 0 &&
        context.countNvWrites) {
        // Whole and handed over: the printer makes the writes, now or once
        // the queue lets the job through.
        context.countNvWrites(printerName, operation.nvWrites);
    }
    if (!closed) {
        return Failed(channel.JobStillQueued() ? kPrinterQueued : kPrinterNotSent,
                      channel.LastError());
    }
    if (!note.empty() && context.note) {
        context.note(note);
    }
    if (direct || !operation.editDriver) {
        return {};
    }
    std::string denied;
    const int32_t edited =
        UpdateDriverConfig(context.spooler, printerName, operation.edit, &denied);
    if (edited == kPrinterNoMemory) {
        return Failed(kPrinterNoMemory, "no memory for the printer's driver record");
    }
    if (!denied.empty() && context.note) {
        // The bytes reached the printer; only the logo on every receipt is not switched.
        std::string text = kRecordUnchanged;
        text += denied;
        context.note(text);
    }
    return edited == kPrinterOk ? Result<void>() : Failed(edited, {});
}

} // namespace tessaline
