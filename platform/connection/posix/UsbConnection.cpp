// SPDX-License-Identifier: MIT
// USB printer-class devices (/dev/usb/lpN) through plain POSIX calls: the
// kernel's printer driver carries bytes both ways, and poll gives the timeouts.
#include "../Connections.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tessaline {

namespace {

class UsbConnection : public PrinterConnection {
public:
    using PrinterConnection::PrinterConnection;
    ~UsbConnection() override {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    Result<void> Open() {
        m_fd = ::open(Address().device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            return Result<void>::Fail(Failure("cannot open the device: " + Errno()));
        }
        // A terminal standing in for the device passes bytes through untouched.
        if (::isatty(m_fd) != 0) {
            termios raw{};
            if (::tcgetattr(m_fd, &raw) == 0) {
                ::cfmakeraw(&raw);
                ::tcsetattr(m_fd, TCSANOW, &raw);
            }
        }
        return {};
    }

    Result<void> Send(std::span<const uint8_t> bytes) override {
        size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + at, bytes.size() - at);
            if (n > 0) {
                at += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return Result<void>::Fail(Failure(Errno()));
            }
            const int ready = Wait(POLLOUT, Address().readTimeout);
            if (ready < 0) {
                return Result<void>::Fail(Failure(Errno()));
            }
            if (ready == 0) {
                return Result<void>::Fail(Failure("the printer took no bytes within " +
                                                  std::to_string(Address().readTimeout.count()) +
                                                  " ms (" + std::to_string(at) + " of " +
                                                  std::to_string(bytes.size()) + " sent)"));
            }
        }
        return {};
    }

    Result<void> Receive(std::vector<uint8_t>& into, std::chrono::milliseconds wait) override {
        const int ready = Wait(POLLIN, wait);
        if (ready < 0) {
            return Result<void>::Fail(Failure(Errno()));
        }
        if (ready == 0) {
            return {};
        }
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return Result<void>::Fail(Failure(Errno()));
        }
        if (n > 0) {
            into.insert(into.end(), buffer, buffer + n);
        }
        return {};
    }

    Result<void> Finish() override {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            return Result<void>::Fail(Failure(Errno()));
        }
        return {};
    }

private:
    static std::string Errno() { return ReasonText(std::strerror(errno)); }

    // poll for `events`: 1 ready, 0 timed out, -1 failed.
    int Wait(short events, std::chrono::milliseconds wait) const {
        pollfd p{m_fd, events, 0};
        for (;;) {
            const int r = ::poll(&p, 1, static_cast<int>(wait.count()));
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r > 0 && (p.revents & (POLLERR | POLLNVAL)) != 0 && (p.revents & events) == 0) {
                errno = EIO;
                return -1;
            }
            return r > 0 ? 1 : r;
        }
    }

    int m_fd = -1;
};

} // namespace

Result<std::unique_ptr<PrinterConnection>> OpenUsbPrinter(const PrinterAddress& address) {
    auto connection = std::make_unique<UsbConnection>(address);
    if (Result<void> s = connection->Open(); !s) {
        return Result<std::unique_ptr<PrinterConnection>>::FailAs(s);
    }
    return std::unique_ptr<PrinterConnection>(std::move(connection));
}

} // namespace tessaline
