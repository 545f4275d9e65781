// SPDX-License-Identifier: MIT
// Virtual printers on the network, as printers on raw port 9100 are: one
// connection at a time each, all of them on one thread, its bytes run by the same emulator `feed`
// runs, with the questions answered while the bytes arrive. The commands before a question run
// before it is answered, so an answer reflects them.
#include "VPrinterServe.h"

#include "Cli.h"
#include "escpos/PrinterResponder.h"
#include "platform/virtual/VirtualPrinterBackend.h"

#include <array>
#include <asio.hpp>
#include <chrono>
#include <csignal>
#include <list>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

namespace tessaline {

namespace {

using asio::ip::tcp;

constexpr size_t kReadBytes = 65536;
constexpr size_t kServeThreads = 8;

// The printers of one process run on several threads; their lines reach the
// streams whole, one writer at a time.
std::mutex g_outputLock;

void Say(std::ostream& stream, const std::string& text) {
    const std::lock_guard<std::mutex> guard(g_outputLock);
    stream << text << std::flush;
}

class Server {
public:
    // `prefix` goes before each line it prints: empty when it serves alone.
    Server(asio::io_context& io, std::string name, VirtualPrinterInfo info,
           const CliEnvironment& env, std::ostream& out, std::ostream& err, std::string prefix)
        : m_name(std::move(name)), m_info(std::move(info)), m_backend(env.dataHome),
          m_folder(m_backend.Store().PrinterFolder(m_name)), m_acceptor(io), m_busy(io), m_out(out),
          m_err(err), m_prefix(std::move(prefix)) {}

    Result<void> Listen(const tcp::endpoint& endpoint) {
        asio::error_code ec;
        m_acceptor.open(endpoint.protocol(), ec);
        if (!ec) {
            m_acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
        }
        if (!ec) {
            m_acceptor.bind(endpoint, ec);
        }
        if (!ec) {
            m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
        }
        if (ec) {
            return Result<void>::Fail(ec.message());
        }
        return {};
    }

    uint16_t Port() const { return m_acceptor.local_endpoint().port(); }

    void Start() { Accept(); }

private:
    void Accept() {
        m_acceptor.async_accept([this](const asio::error_code& ec, tcp::socket peer) {
            if (ec) {
                Say(m_err, "tessaline-cli vprinter serve: " + m_prefix + ec.message() + "\n");
                Accept();
                return;
            }
            asio::error_code ignored;
            peer.set_option(tcp::no_delay(true), ignored);
            m_peer.emplace(std::move(peer));
            m_buffer.resize(kReadBytes);
            m_responder.emplace(m_name, m_info.model, VirtualPrinterFolder(m_folder).State(),
                                [this](std::span<const uint8_t> bytes) {
                                    const bool wrote = RunJob(bytes);
                                    m_busyNow = m_busyNow || (wrote && m_info.model.writeMs > 0);
                                    return wrote;
                                });
            Read();
        });
    }

    void Read() {
        m_peer->async_read_some(asio::buffer(m_buffer), [this](const asio::error_code& ec,
                                                               size_t n) {
            std::vector<uint8_t> replies;
            if (n > 0) {
                m_busyNow = false;
                replies = m_responder->Feed(std::span<const uint8_t>(m_buffer.data(), n));
            }
            if (!ec && m_busyNow) {
                // Busy writing its NV memory: it reads nothing more and
                // answers nothing until the write is done. The other
                // printers of the process carry on meanwhile.
                m_busy.expires_after(std::chrono::milliseconds(m_info.model.writeMs));
                m_busy.async_wait([this, replies = std::move(replies)](const asio::error_code&) {
                    Answer(replies);
                    Read();
                });
                return;
            }
            Answer(replies);
            if (!ec) {
                Read();
                return;
            }
            // Only a connection closed cleanly carries a whole job; a reset
            // one was abandoned half-way.
            EndConnection(ec == asio::error::eof);
        });
    }

    void Answer(const std::vector<uint8_t>& replies) {
        asio::error_code ignored;
        if (!replies.empty() && m_peer) {
            asio::write(*m_peer, asio::buffer(replies), ignored);
        }
    }

    // The connection ended: its bytes are one job, unless they only asked questions.
    void EndConnection(bool whole) {
        if (!whole && !m_responder->OnlyQuestions()) {
            Say(m_out, m_prefix + "connection broken after " +
                           std::to_string(m_responder->Job().size()) +
                           " bytes: the job is dropped\n");
        }
        // The printer has the whole job once the sender's side is closed:
        // closing ours now lets the sender go while the job runs.
        asio::error_code ignored;
        m_peer->close(ignored);
        m_peer.reset();
        m_buffer = std::vector<uint8_t>();
        const bool wroteMemory =
            whole && !m_responder->OnlyQuestions() && RunJob(m_responder->Job());
        m_responder.reset();
        if (wroteMemory && m_info.model.writeMs > 0) {
            // Busy writing its NV memory: it takes no connection and answers nothing.
            m_busy.expires_after(std::chrono::milliseconds(m_info.model.writeMs));
            m_busy.async_wait([this](const asio::error_code&) { Accept(); });
            return;
        }
        Accept();
    }

    // Runs the bytes as one job, as `feed` does; true when it changed the NV memory.
    bool RunJob(std::span<const uint8_t> bytes) {
        auto opened = m_backend.OpenVirtualPrinter(m_name, QueueAccess::Plain);
        if (!opened) {
            Say(m_err, "tessaline-cli vprinter serve: " + m_prefix + opened.Reason() + "\n");
            return false;
        }
        VirtualPrinterQueue& queue = *opened.Value();
        const NvMemory before =
            VirtualPrinterFolder(m_folder).LoadNvMemory(m_info.model.nvWritesPerDay).memory;
        if (const Result<void> started = queue.StartRawJob("socket", "RAW"); !started) {
            Say(m_err, "tessaline-cli vprinter serve: " + m_prefix + started.Reason() + "\n");
            return false;
        }
        static_cast<void>(queue.Write(bytes));
        const Result<void> ended = queue.EndJob();
        const DeliveredJob& job = queue.LastJob();
        std::ostringstream report;
        if (job.number != 0) {
            report << "job " << VirtualPrinterFolder::JobName(job.number) << ": " << bytes.size()
                   << " bytes received\n";
        }
        report << job.log;
        for (const auto& picture : job.paper) {
            report << "paper: " << picture.string() << '\n';
        }
        if (!ended) {
            report << "the job failed: " << ended.Reason() << '\n';
        }
        std::istringstream lines(report.str());
        std::string text;
        for (std::string line; std::getline(lines, line);) {
            text += m_prefix + line + '\n';
        }
        Say(m_out, text);
        const NvMemory after =
            VirtualPrinterFolder(m_folder).LoadNvMemory(m_info.model.nvWritesPerDay).memory;
        return ended &&
               (after.writesThatDay != before.writesThatDay ||
                after.writesDay != before.writesDay || NvBytesUsed(after) != NvBytesUsed(before));
    }

    std::string m_name;
    VirtualPrinterInfo m_info;
    VirtualPrinterBackend m_backend;
    std::filesystem::path m_folder;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_busy;
    bool m_busyNow = false; // the bytes just fed wrote the NV memory
    std::optional<tcp::socket> m_peer;
    std::optional<PrinterResponder> m_responder;
    std::vector<uint8_t> m_buffer; // held while a connection is open
    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_prefix;
};

// HOST:PORT, the host an IPv4 address or an IPv6 one in brackets.
std::optional<tcp::endpoint> ParseListen(const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    unsigned long port = 0;
    try {
        size_t used = 0;
        port = std::stoul(text.substr(colon + 1), &used);
        if (used != text.size() - colon - 1 || port > 65535) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(host, ec);
    if (ec) {
        return std::nullopt;
    }
    return tcp::endpoint(address, static_cast<uint16_t>(port));
}

// The address of printer `index` (from 0) of a fleet that starts at `first`:
// the next port, or the next IPv4 address on the same port.
std::optional<tcp::endpoint> FleetEndpoint(const tcp::endpoint& first, uint32_t index,
                                           ServeSpread spread) {
    if (index == 0) {
        return first;
    }
    if (spread == ServeSpread::Ports) {
        if (first.port() == 0) {
            return first; // each picks a free port of its own
        }
        if (first.port() + uint64_t{index} > 65535) {
            return std::nullopt;
        }
        return tcp::endpoint(first.address(), static_cast<uint16_t>(first.port() + index));
    }
    if (!first.address().is_v4()) {
        return std::nullopt;
    }
    const uint64_t next = uint64_t{first.address().to_v4().to_uint()} + index;
    // The addresses stay inside the first one's /8: 127.0.0.1 onwards stays loopback.
    if ((next >> 24) != (first.address().to_v4().to_uint() >> 24)) {
        return std::nullopt;
    }
    return tcp::endpoint(asio::ip::address_v4(static_cast<uint32_t>(next)), first.port());
}

std::string Url(const tcp::endpoint& endpoint, uint16_t port) {
    const bool v6 = endpoint.address().is_v6();
    return "socket://" + std::string(v6 ? "[" : "") + endpoint.address().to_string() +
           (v6 ? "]" : "") + ":" + std::to_string(port);
}

} // namespace

std::string FleetPrinterName(const std::string& name, uint32_t number) {
    return name + "-" + std::to_string(number);
}

int ServeVirtualPrinter(const std::string& name, const std::string& listen,
                        const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    return ServeVirtualPrinters(name, listen, 0, ServeSpread::Ports, env, out, err);
}

int ServeVirtualPrinters(const std::string& name, const std::string& listen, uint32_t count,
                         ServeSpread spread, const CliEnvironment& env, std::ostream& out,
                         std::ostream& err) {
    const auto endpoint = ParseListen(listen);
    if (!endpoint) {
        err << "tessaline-cli vprinter serve: --listen takes an address and a port, as in "
               "127.0.0.1:9100 or [::1]:0, not '"
            << listen << "'\n";
        return kExitWrongUse;
    }
    VirtualPrinterStore store(env.dataHome);
    const auto info = store.Find(name);
    if (!info) {
        err << "tessaline-cli vprinter serve: no virtual printer named \"" << name << "\"\n";
        return kExitNotInstalled;
    }
    if (!info->problem.empty()) {
        err << "tessaline-cli vprinter serve: \"" << name
            << "\" has damaged settings: " << info->problem << "\n";
        return kExitNotTransmitted;
    }
    const uint32_t last = std::max<uint32_t>(count, 1) - 1;
    if (!FleetEndpoint(*endpoint, last, spread)) {
        err << "tessaline-cli vprinter serve: " << last + 1 << " printers from " << listen
            << " run out of " << (spread == ServeSpread::Ports ? "ports" : "addresses")
            << " at printer " << last + 1 << "\n";
        return kExitWrongUse;
    }
    asio::io_context io;
    std::list<Server> servers; // they stay where they are made: handlers hold them
    const uint32_t printers = std::max<uint32_t>(count, 1);
    for (uint32_t i = 0; i < printers; ++i) {
        const auto at = FleetEndpoint(*endpoint, i, spread);
        if (!at) {
            err << "tessaline-cli vprinter serve: " << printers << " printers from " << listen
                << " run out of " << (spread == ServeSpread::Ports ? "ports" : "addresses")
                << " at printer " << i + 1 << "\n";
            return kExitWrongUse;
        }
        std::string printer = name;
        VirtualPrinterInfo settings = *info;
        if (count > 0) {
            // A fleet: NAME-1 ... NAME-N, each with NAME's settings and a memory of its own.
            printer = FleetPrinterName(name, i + 1);
            auto found = store.Find(printer);
            if (!found) {
                if (const Result<void> added = store.Add(printer, info->model); !added) {
                    err << "tessaline-cli vprinter serve: cannot add \"" << printer
                        << "\": " << added.Reason() << "\n";
                    return kExitNotTransmitted;
                }
                found = store.Find(printer);
            }
            if (!found || !found->problem.empty()) {
                err << "tessaline-cli vprinter serve: \"" << printer << "\" has damaged settings"
                    << (found ? ": " + found->problem : std::string()) << "\n";
                return kExitNotTransmitted;
            }
            settings = *found;
        }
        Server& server = servers.emplace_back(io, printer, settings, env, out, err,
                                              count > 0 ? printer + ": " : std::string());
        if (const Result<void> s = server.Listen(*at); !s) {
            err << "tessaline-cli vprinter serve: cannot listen on " << Url(*at, at->port())
                << (count > 0 ? " for " + printer : std::string()) << ": " << s.Reason() << "\n";
            return kExitNotTransmitted;
        }
    }
    // SIGINT and SIGTERM are taken from now on, before anyone learns a port.
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&io](const asio::error_code& ec, int) {
        if (!ec) {
            // A connection still open is dropped whole: its job never ran.
            io.stop();
        }
    });
    uint32_t i = 0;
    for (Server& server : servers) {
        const auto at = FleetEndpoint(*endpoint, i++, spread);
        out << "listening on " << Url(*at, server.Port());
        if (count > 0) {
            out << " for " << FleetPrinterName(name, i);
        }
        out << '\n';
        server.Start();
    }
    out << std::flush;
    // Several threads, so that one printer's job (its files synced to disk)
    // does not hold up the others; a printer's own steps run one at a time,
    // since each has one operation outstanding at once.
    const size_t threads = std::min<size_t>(printers, kServeThreads);
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t) {
        pool.emplace_back([&io] { io.run(); });
    }
    io.run();
    for (std::thread& t : pool) {
        t.join();
    }
    out << "stopped" << std::endl;
    return kExitDone;
}

} // namespace tessaline
