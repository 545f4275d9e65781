// SPDX-License-Identifier: MIT
// TCP and serial printers through Asio, the same code on POSIX and Windows.
// Every wait runs the connection's own io_context for at most the timeout
// and cancels what is still pending, as Asio's blocking-client examples do.
#include "Connections.h"

#include <array>
#include <asio.hpp>
#include <functional>

namespace tessaline {

namespace {

std::string Millis(std::chrono::milliseconds ms) {
    return std::to_string(ms.count()) + " ms";
}

template <typename Stream> class AsioConnection : public PrinterConnection {
public:
    explicit AsioConnection(const PrinterAddress& address)
        : PrinterConnection(address), m_stream(m_io) {}

    Result<void> Send(std::span<const uint8_t> bytes) override {
        size_t at = 0;
        while (at < bytes.size()) {
            asio::error_code ec;
            size_t taken = 0;
            m_stream.async_write_some(asio::buffer(bytes.data() + at, bytes.size() - at),
                                      [&](const asio::error_code& e, size_t n) {
                                          ec = e;
                                          taken = n;
                                      });
            RunFor(Address().readTimeout);
            at += taken;
            if (ec == asio::error::operation_aborted && taken == 0) {
                return Result<void>::Fail(Failure(
                    "the printer took no bytes within " + Millis(Address().readTimeout) + " (" +
                    std::to_string(at) + " of " + std::to_string(bytes.size()) + " sent)"));
            }
            if (ec && ec != asio::error::operation_aborted) {
                return Result<void>::Fail(Failure(ReasonText(ec.message())));
            }
        }
        return {};
    }

    Result<void> Receive(std::vector<uint8_t>& into, std::chrono::milliseconds wait) override {
        std::array<uint8_t, 4096> buffer{};
        asio::error_code ec;
        size_t got = 0;
        m_stream.async_read_some(asio::buffer(buffer), [&](const asio::error_code& e, size_t n) {
            ec = e;
            got = n;
        });
        RunFor(wait);
        into.insert(into.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
        if (ec == asio::error::eof) {
            return Result<void>::Fail(Failure("the printer closed the connection"));
        }
        if (ec && ec != asio::error::operation_aborted) {
            return Result<void>::Fail(Failure(ReasonText(ec.message())));
        }
        return {};
    }

protected:
    // Runs the started operations until they end or `limit` passes; then
    // cancels them (through `cancel`, the stream by default) and lets them finish.
    void RunFor(std::chrono::milliseconds limit, const std::function<void()>& cancel = {}) {
        m_io.restart();
        m_io.run_for(limit);
        if (!m_io.stopped()) {
            if (cancel) {
                cancel();
            } else {
                asio::error_code ignored;
                m_stream.cancel(ignored);
            }
            m_io.restart();
            m_io.run();
        }
    }

    asio::io_context m_io;
    Stream m_stream;
};

class SocketConnection : public AsioConnection<asio::ip::tcp::socket> {
public:
    using AsioConnection::AsioConnection;
    ~SocketConnection() override {
        if (m_stream.is_open()) {
            // An abandoned job ends with a reset, not a clean close: the
            // printer must not take the bytes it got for a whole job.
            asio::error_code ignored;
            m_stream.set_option(asio::socket_base::linger(true, 0), ignored);
            m_stream.close(ignored);
        }
    }

    Result<void> Connect() {
        const auto deadline = std::chrono::steady_clock::now() + Address().connectTimeout;
        asio::ip::tcp::resolver resolver(m_io);
        asio::error_code ec;
        asio::ip::tcp::resolver::results_type endpoints;
        resolver.async_resolve(Address().host, std::to_string(Address().port),
                               [&](const asio::error_code& e, auto results) {
                                   ec = e;
                                   endpoints = std::move(results);
                               });
        RunFor(Address().connectTimeout, [&resolver] { resolver.cancel(); });
        if (ec == asio::error::operation_aborted) {
            return TimedOut();
        }
        if (ec) {
            return Result<void>::Fail(Failure("cannot find the host: " + ReasonText(ec.message())));
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        bool finished = false;
        asio::async_connect(m_stream, endpoints,
                            [&](const asio::error_code& e, const asio::ip::tcp::endpoint&) {
                                ec = e;
                                finished = true;
                            });
        RunFor(std::max(left, std::chrono::milliseconds(1)), [this] {
            asio::error_code ignored;
            m_stream.close(ignored);
        });
        if (!finished || ec == asio::error::operation_aborted) {
            return TimedOut();
        }
        if (ec) {
            return Result<void>::Fail(Failure(ReasonText(ec.message())));
        }
        // Questions are a few bytes each and must go out at once.
        m_stream.set_option(asio::ip::tcp::no_delay(true), ec);
        return {};
    }

    Result<void> Finish() override {
        asio::error_code ec;
        m_stream.shutdown(asio::ip::tcp::socket::shutdown_send, ec);
        if (ec) {
            return Result<void>::Fail(Failure(ReasonText(ec.message())));
        }
        // Closing with unread bytes would reset the connection and lose the
        // end of the job still on its way; so read until the printer closes
        // its side, or for the read timeout at most.
        const auto deadline = std::chrono::steady_clock::now() + Address().readTimeout;
        std::vector<uint8_t> ignored;
        while (std::chrono::steady_clock::now() < deadline) {
            const size_t before = ignored.size();
            const Result<void> got =
                Receive(ignored, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now()));
            if (!got || ignored.size() == before) {
                break;
            }
            ignored.clear();
        }
        m_stream.close(ec);
        return {};
    }

private:
    Result<void> TimedOut() const {
        return Result<void>::Fail(
            Failure("no connection within " + Millis(Address().connectTimeout)));
    }
};

class SerialConnection : public AsioConnection<asio::serial_port> {
public:
    using AsioConnection::AsioConnection;

    Result<void> Open() {
        std::string device = Address().device;
#ifdef _WIN32
        // COM10 and above are reached only through the device namespace.
        if (device.rfind("\\\\.\\", 0) != 0) {
            device = "\\\\.\\" + device;
        }
#endif
        asio::error_code ec;
        m_stream.open(device, ec);
        if (ec) {
            return Result<void>::Fail(Failure("cannot open the port: " + ReasonText(ec.message())));
        }
        const SerialSettings& s = Address().serial;
        using sp = asio::serial_port_base;
        const sp::parity::type parity = s.parity == SerialParity::Odd    ? sp::parity::odd
                                        : s.parity == SerialParity::Even ? sp::parity::even
                                                                         : sp::parity::none;
        const sp::flow_control::type flow =
            s.flow == SerialFlow::Hardware   ? sp::flow_control::hardware
            : s.flow == SerialFlow::Software ? sp::flow_control::software
                                             : sp::flow_control::none;
        m_stream.set_option(sp::baud_rate(s.baud), ec);
        if (!ec) {
            m_stream.set_option(sp::character_size(s.dataBits), ec);
        }
        if (!ec) {
            m_stream.set_option(sp::parity(parity), ec);
        }
        if (!ec) {
            m_stream.set_option(
                sp::stop_bits(s.stopBits == 2 ? sp::stop_bits::two : sp::stop_bits::one), ec);
        }
        if (!ec) {
            m_stream.set_option(sp::flow_control(flow), ec);
        }
        if (ec) {
            return Result<void>::Fail(
                Failure("cannot set up the port: " + ReasonText(ec.message())));
        }
        return {};
    }

    Result<void> Finish() override {
        asio::error_code ec;
        m_stream.close(ec);
        return {};
    }
};

} // namespace

Result<std::unique_ptr<PrinterConnection>> OpenSocketPrinter(const PrinterAddress& address) {
    auto connection = std::make_unique<SocketConnection>(address);
    if (Result<void> s = connection->Connect(); !s) {
        return Result<std::unique_ptr<PrinterConnection>>::FailAs(s);
    }
    return std::unique_ptr<PrinterConnection>(std::move(connection));
}

Result<std::unique_ptr<PrinterConnection>> OpenSerialPrinter(const PrinterAddress& address) {
    auto connection = std::make_unique<SerialConnection>(address);
    if (Result<void> s = connection->Open(); !s) {
        return Result<std::unique_ptr<PrinterConnection>>::FailAs(s);
    }
    return std::unique_ptr<PrinterConnection>(std::move(connection));
}

} // namespace tessaline
