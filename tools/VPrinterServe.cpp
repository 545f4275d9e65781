// SPDX-License-Identifier: MIT
// A virtual printer on the network, as a printer on raw port 9100 is: one
// connection at a time, its bytes run by the same emulator `feed` runs, with
// the questions answered while the bytes arrive. The commands before a
// question run before it is answered, so an answer reflects them.
#include "VPrinterServe.h"

#include "Cli.h"
#include "escpos/PrinterResponder.h"
#include "platform/virtual/VirtualPrinterBackend.h"

#include <array>
#include <asio.hpp>
#include <csignal>
#include <optional>
#include <ostream>
#include <thread>

namespace tessaline {

namespace {

using asio::ip::tcp;

class Server {
public:
    Server(std::string name, VirtualPrinterInfo info, const CliEnvironment& env, std::ostream& out,
           std::ostream& err)
        : m_name(std::move(name)), m_info(std::move(info)), m_backend(env.dataHome),
          m_folder(m_backend.Store().PrinterFolder(m_name)), m_acceptor(m_io), m_signals(m_io),
          m_busy(m_io), m_out(out), m_err(err) {}

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

    // Takes SIGINT and SIGTERM from now on, before anyone learns the port.
    void CatchStopSignals() {
        m_signals.add(SIGINT);
        m_signals.add(SIGTERM);
        m_signals.async_wait([this](const asio::error_code& ec, int) {
            if (!ec) {
                // A connection still open is dropped whole: its job never ran.
                m_io.stop();
            }
        });
    }

    void Run() {
        Accept();
        m_io.run();
    }

private:
    void Accept() {
        m_acceptor.async_accept([this](const asio::error_code& ec, tcp::socket peer) {
            if (ec) {
                m_err << "tessaline-cli vprinter serve: " << ec.message() << "\n";
                Accept();
                return;
            }
            asio::error_code ignored;
            peer.set_option(tcp::no_delay(true), ignored);
            m_peer.emplace(std::move(peer));
            m_responder.emplace(m_name, m_info.model, VirtualPrinterFolder(m_folder).State(),
                                [this](std::span<const uint8_t> bytes) {
                                    const bool wrote = RunJob(bytes);
                                    if (wrote && m_info.model.writeMs > 0) {
                                        // Busy writing its NV memory: it reads
                                        // nothing more and answers nothing yet.
                                        std::this_thread::sleep_for(
                                            std::chrono::milliseconds(m_info.model.writeMs));
                                    }
                                    return wrote;
                                });
            Read();
        });
    }

    void Read() {
        m_peer->async_read_some(
            asio::buffer(m_buffer), [this](const asio::error_code& ec, size_t n) {
                if (n > 0) {
                    const std::vector<uint8_t> replies =
                        m_responder->Feed(std::span<const uint8_t>(m_buffer.data(), n));
                    asio::error_code ignored;
                    if (!replies.empty()) {
                        asio::write(*m_peer, asio::buffer(replies), ignored);
                    }
                }
                if (!ec) {
                    Read();
                    return;
                }
                // Only a connection closed cleanly carries a whole job; a reset
                // one was abandoned half-way.
                EndConnection(ec == asio::error::eof);
            });
    }

    // The connection ended: its bytes are one job, unless they only asked questions.
    void EndConnection(bool whole) {
        if (!whole && !m_responder->OnlyQuestions()) {
            m_out << "connection broken after " << m_responder->Job().size()
                  << " bytes: the job is dropped" << std::endl;
        }
        // The printer has the whole job once the sender's side is closed:
        // closing ours now lets the sender go while the job runs.
        asio::error_code ignored;
        m_peer->close(ignored);
        m_peer.reset();
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
            m_err << "tessaline-cli vprinter serve: " << opened.Reason() << "\n";
            return false;
        }
        VirtualPrinterQueue& queue = *opened.Value();
        const NvMemory before = VirtualPrinterFolder(m_folder).LoadNvMemory().memory;
        if (const Result<void> started = queue.StartRawJob("socket", "RAW"); !started) {
            m_err << "tessaline-cli vprinter serve: " << started.Reason() << "\n";
            return false;
        }
        static_cast<void>(queue.Write(bytes));
        const Result<void> ended = queue.EndJob();
        const DeliveredJob& job = queue.LastJob();
        if (job.number != 0) {
            m_out << "job " << VirtualPrinterFolder::JobName(job.number) << ": " << bytes.size()
                  << " bytes received\n";
        }
        m_out << job.log;
        for (const auto& picture : job.paper) {
            m_out << "paper: " << picture.string() << '\n';
        }
        if (!ended) {
            m_out << "the job failed: " << ended.Reason() << '\n';
        }
        m_out << std::flush;
        const NvMemory after = VirtualPrinterFolder(m_folder).LoadNvMemory().memory;
        return ended &&
               (after.writesThatDay != before.writesThatDay ||
                after.writesDay != before.writesDay || NvBytesUsed(after) != NvBytesUsed(before));
    }

    std::string m_name;
    VirtualPrinterInfo m_info;
    VirtualPrinterBackend m_backend;
    std::filesystem::path m_folder;
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    asio::signal_set m_signals;
    asio::steady_timer m_busy;
    std::optional<tcp::socket> m_peer;
    std::optional<PrinterResponder> m_responder;
    std::array<uint8_t, 65536> m_buffer{};
    std::ostream& m_out;
    std::ostream& m_err;
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

} // namespace

int ServeVirtualPrinter(const std::string& name, const std::string& listen,
                        const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    const auto endpoint = ParseListen(listen);
    if (!endpoint) {
        err << "tessaline-cli vprinter serve: --listen takes an address and a port, as in "
               "127.0.0.1:9100 or [::1]:0, not '"
            << listen << "'\n";
        return kExitWrongUse;
    }
    const VirtualPrinterStore store(env.dataHome);
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
    Server server(name, *info, env, out, err);
    if (const Result<void> s = server.Listen(*endpoint); !s) {
        err << "tessaline-cli vprinter serve: cannot listen on " << listen << ": " << s.Reason()
            << "\n";
        return kExitNotTransmitted;
    }
    server.CatchStopSignals();
    const bool v6 = endpoint->address().is_v6();
    out << "listening on socket://" << (v6 ? "[" : "") << endpoint->address().to_string()
        << (v6 ? "]" : "") << ":" << server.Port() << std::endl;
    server.Run();
    out << "stopped" << std::endl;
    return kExitDone;
}

} // namespace tessaline
