// SPDX-License-Identifier: MIT
// Times spooling the stream of a 255-logo upload (each logo 576 x 128 dots)
// through CupsBackend, one byte per Write as the printer channel hands them
// over, against spooling the same bytes with `lp -o raw`. Both are timed
// until the private server's capture backend holds every byte of the job.
//
// Given tessaline-cli and the control library, it then times the whole
// upload as a user runs it: `tessaline-cli upload` of 255 logo files (read,
// converted and sent, the 100 ms pause included) against `sleep 0.1; lp -o
// raw` of the bytes it sends, side by side, each until the capture is whole;
// then the same upload through socket:// to `tessaline-cli vprinter serve`
// (until the printer has the whole job), and a status question's round trip.
//
// Usage: tessaline_bench_cups SERVER_DIR [ROUNDS [CLI CONTROL]]
// SERVER_DIR is a running private CUPS server (tests/support/private-cupsd.sh).

#include "platform/PrinterAddress.h"
#include "platform/cups/CupsBackend.h"
#include "printer/PrinterReport.h"
#include "tests/support/BmpBuilder.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace tessaline;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLogos = 255;
constexpr int kWidthDots = 576;
constexpr int kHeightDots = 128;
const std::string kQueue = "THERMAL_1";
const std::string kListedName = "THERMAL #1";

// 1B 40, 1C 71 n, then per logo xL xH yL yH and the column-major raster.
std::vector<uint8_t> UploadStream() {
    const size_t rasterBytes = static_cast<size_t>(kWidthDots) * kHeightDots / 8;
    std::vector<uint8_t> s = {0x1B, 0x40, 0x1C, 0x71, static_cast<uint8_t>(kLogos)};
    s.reserve(s.size() + kLogos * (4 + rasterBytes));
    for (int logo = 0; logo < kLogos; ++logo) {
        s.insert(s.end(), {kWidthDots / 8, 0, kHeightDots / 8, 0});
        for (size_t i = 0; i < rasterBytes; ++i) {
            // A logo-like picture: a ring and some lettering-like stripes.
            const auto x = static_cast<int>(i / (kHeightDots / 8));
            const auto y8 = static_cast<int>(i % (kHeightDots / 8)) * 8;
            uint8_t b = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int y = y8 + bit;
                const int dx = x - 100 - logo % 50;
                const int dy = y - 64;
                const int r2 = dx * dx + dy * dy;
                const bool ring = r2 > 40 * 40 && r2 < 55 * 55;
                const bool text =
                    x > 220 && x < 540 && y > 40 && y < 90 && ((x / 6 + y / 9) % 3 == 0);
                if (ring || text) {
                    b = static_cast<uint8_t>(b | (0x80 >> bit));
                }
            }
            s.push_back(b);
        }
    }
    return s;
}

std::set<std::string> Captures(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kQueue + "-", 0) == 0 && entry.path().extension() == ".bin") {
            names.insert(name);
        }
    }
    return names;
}

// Waits for a capture that was not there before and holds `size` bytes.
bool WaitForNewCapture(const fs::path& folder, const std::set<std::string>& before, size_t size) {
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (Clock::now() < deadline) {
        for (const std::string& name : Captures(folder)) {
            if (before.count(name) == 0) {
                return fs::file_size(folder / name) == size;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

double SpoolThroughBackend(const std::vector<uint8_t>& stream, const fs::path& capture) {
    const auto before = Captures(capture);
    const auto start = Clock::now();
    CupsBackend backend;
    auto queue = backend.Open(kListedName, QueueAccess::Plain).ValueOr(nullptr);
    if (queue == nullptr || !queue->StartRawJob("Logo", "RAW")) {
        std::fprintf(stderr, "cups-bench: cannot start a job on \"%s\"\n", kListedName.c_str());
        std::exit(1);
    }
    const auto opened = Clock::now();
    bool ok = true;
    for (const uint8_t& b : stream) {
        ok = queue->Write(std::span(&b, 1)) && ok;
    }
    const auto written = Clock::now();
    ok = queue->EndJob() && ok;
    const auto ended = Clock::now();
    const bool arrived = WaitForNewCapture(capture, before, stream.size());
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf(
        "  backend phases: open+start %.1f ms, writes %.1f ms, end %.1f ms, to capture %.1f ms\n",
        ms(opened - start), ms(written - opened), ms(ended - written), ms(Clock::now() - ended));
    if (!ok || !arrived) {
        std::fprintf(stderr, "cups-bench: the backend's job did not arrive whole\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double SpoolThroughLp(const fs::path& file, size_t size, const fs::path& capture) {
    const auto before = Captures(capture);
    const std::string command =
        "lp -d " + kQueue + " -o raw -t Logo '" + file.string() + "' >/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0 || !WaitForNewCapture(capture, before, size)) {
        std::fprintf(stderr, "cups-bench: lp's job did not arrive whole\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One word for the shell, quoted.
std::string Quote(const std::string& word) {
    std::string q = "'";
    for (const char c : word) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// Times one shell command until a new capture of `size` bytes has arrived.
double TimeCommand(const std::string& command, size_t size, const fs::path& capture) {
    const auto before = Captures(capture);
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0 || !WaitForNewCapture(capture, before, size)) {
        std::fprintf(stderr, "cups-bench: \"%s\" did not deliver %zu bytes\n", command.c_str(),
                     size);
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// 255 logo files as a shop would upload them: 576 x 128, 24 bits, a ring
// and lettering in shades of grey, each logo a little different.
std::vector<std::string> WriteLogoFiles(const fs::path& folder) {
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (int logo = 0; logo < kLogos; ++logo) {
        const auto bytes = tessaline::test::Make24(kWidthDots, kHeightDots, [logo](int x, int y) {
            const int dx = x - 100 - logo % 50;
            const int dy = y - 64;
            const int r2 = dx * dx + dy * dy;
            const bool ring = r2 > 40 * 40 && r2 < 55 * 55;
            const bool text = x > 220 && x < 540 && y > 40 && y < 90 && (x / 6 + y / 9) % 3 == 0;
            const auto shade = static_cast<uint8_t>(ring ? 40 + x % 60 : text ? 20 : 235);
            return tessaline::test::Bgr{shade, shade, shade};
        });
        char name[32];
        std::snprintf(name, sizeof name, "logo%03d.bmp", logo + 1);
        paths.push_back((folder / name).string());
        tessaline::test::WriteFile(paths.back(), bytes);
    }
    return paths;
}

// A virtual printer served on loopback TCP by `tessaline-cli vprinter serve`,
// stopped by SIGTERM when done.
class ServedPrinter {
public:
    ServedPrinter(const std::string& env, const std::string& cli) {
        const std::string add = env + Quote(cli) + " vprinter add BENCH >/dev/null 2>&1";
        static_cast<void>(std::system(add.c_str()));
        const std::string serve = "echo $$; " + env + "exec " + Quote(cli) +
                                  " vprinter serve BENCH --listen 127.0.0.1:0 2>/dev/null";
        m_pipe = ::popen(serve.c_str(), "r");
        char line[256] = {};
        if (m_pipe != nullptr && std::fgets(line, sizeof line, m_pipe) != nullptr) {
            m_pid = std::atoi(line);
        }
        if (m_pipe != nullptr && std::fgets(line, sizeof line, m_pipe) != nullptr) {
            std::string text = line;
            const std::string prefix = "listening on ";
            if (text.rfind(prefix, 0) == 0) {
                m_address = text.substr(prefix.size(), text.find('\n') - prefix.size());
            }
        }
        if (m_address.empty()) {
            std::fprintf(stderr, "cups-bench: vprinter serve did not start\n");
            std::exit(1);
        }
    }
    ~ServedPrinter() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
        }
        if (m_pipe != nullptr) {
            // Reading to the end lets the server's output go before it stops.
            char buffer[4096];
            while (std::fread(buffer, 1, sizeof buffer, m_pipe) > 0) {
            }
            ::pclose(m_pipe);
        }
    }
    const std::string& Address() const { return m_address; }

private:
    FILE* m_pipe = nullptr;
    int m_pid = 0;
    std::string m_address;
};

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same upload through socket:// to a served virtual printer, and the
// round trip of one status question.
void CompareSocket(const std::string& env, const std::string& cli,
                   const std::vector<std::string>& logos, int rounds, double cupsMedian) {
    ServedPrinter served(env, cli);
    std::string upload = env + Quote(cli) + " upload --printer " + Quote(served.Address());
    for (const std::string& logo : logos) {
        upload += ' ';
        upload += Quote(logo);
    }
    upload += " 2>/dev/null";
    std::vector<double> times;
    for (int round = 0; round <= rounds; ++round) {
        const auto start = Clock::now();
        if (std::system(upload.c_str()) != 0) {
            std::fprintf(stderr, "cups-bench: the upload to %s failed\n", served.Address().c_str());
            std::exit(1);
        }
        if (round > 0) { // the first is the warm-up
            times.push_back(Seconds(start));
            std::printf("round %d (none): tessaline-cli upload through %s %.1f ms\n", round,
                        served.Address().c_str(), times.back() * 1e3);
        }
    }
    const double socket = Median(times);
    std::printf("median of %d (none): upload through socket:// %.1f ms, through CUPS %.1f ms, "
                "ratio %.2f\n",
                rounds, socket * 1e3, cupsMedian * 1e3, socket / cupsMedian);

    const auto address = tessaline::ParsePrinterAddress(served.Address());
    auto connection = tessaline::ConnectPrinter(address.Value());
    if (!connection) {
        std::fprintf(stderr, "cups-bench: %s\n", connection.Reason().c_str());
        std::exit(1);
    }
    const auto request = tessaline::StatusRequest(tessaline::StatusQuery::Printer);
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        const auto answer =
            tessaline::AskOne(*connection.Value(), request, tessaline::ReplyShape::StatusByte);
        if (!answer || !answer.Value()) {
            std::fprintf(stderr, "cups-bench: no status answer\n");
            std::exit(1);
        }
        trips.push_back(Seconds(start));
    }
    static_cast<void>(connection.Value()->Finish());
    std::printf("status round trip (DLE EOT 1 over loopback TCP, median of %zu): %.3f ms\n",
                trips.size(), Median(trips) * 1e3);
    std::vector<double> whole;
    const std::string status =
        env + Quote(cli) + " status " + Quote(served.Address()) + " >/dev/null";
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (std::system(status.c_str()) != 0) {
            std::fprintf(stderr, "cups-bench: tessaline-cli status failed\n");
            std::exit(1);
        }
        whole.push_back(Seconds(start));
    }
    std::printf("tessaline-cli status (14 questions, process start included, median of %d): "
                "%.1f ms\n",
                rounds, Median(whole) * 1e3);
}

// The whole upload through tessaline-cli against `sleep 0.1; lp -o raw`.
void CompareWholeUpload(const fs::path& server, const std::string& cli, const std::string& control,
                        int rounds) {
    const fs::path capture = server / "capture";
    const fs::path work = server / "upload-bench";
    const std::vector<std::string> logos = WriteLogoFiles(work / "logos");
    std::string env = "cd "; // built piece by piece: g++ 12 -O3 warns on "cd " + temporary
    env += Quote(work.string()) + " && XDG_CONFIG_HOME=" + Quote((work / "config").string()) +
           " XDG_DATA_HOME=" + Quote((work / "data").string()) + " ";
    const std::string registration = env + Quote(cli) + " register " + Quote(control);
    if (std::system((registration + " >/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "cups-bench: cannot register %s\n", control.c_str());
        std::exit(1);
    }
    const size_t size =
        5 + static_cast<size_t>(kLogos) * (4 + size_t{kWidthDots} * kHeightDots / 8);
    for (const char* mode : {"none", "diffusion"}) {
        std::string upload =
            env + Quote(cli) + " upload --printer " + Quote(kListedName) + " --mode " + mode;
        for (const std::string& logo : logos) {
            upload += ' ';
            upload += Quote(logo);
        }
        upload += " 2>/dev/null";
        // lp sends the bytes the upload sent: those of the warm-up's capture.
        const auto before = Captures(capture);
        TimeCommand(upload, size, capture);
        fs::path sent;
        for (const std::string& name : Captures(capture)) {
            if (before.count(name) == 0) {
                sent = capture / name;
            }
        }
        const std::string lp = "sleep 0.1; lp -d " + kQueue + " -o raw -t Logo " +
                               Quote(sent.string()) + " >/dev/null";
        TimeCommand(lp, size, capture);
        std::vector<double> uploadTimes;
        std::vector<double> lpTimes;
        for (int round = 0; round < rounds; ++round) {
            uploadTimes.push_back(TimeCommand(upload, size, capture));
            lpTimes.push_back(TimeCommand(lp, size, capture));
            std::printf(
                "round %d (%s): tessaline-cli upload %.1f ms, sleep 0.1; lp -o raw %.1f ms\n",
                round + 1, mode, uploadTimes.back() * 1e3, lpTimes.back() * 1e3);
        }
        const double a = Median(uploadTimes);
        const double b = Median(lpTimes);
        std::printf("median of %d (%s): tessaline-cli upload %.1f ms, sleep 0.1; lp -o raw %.1f "
                    "ms, ratio %.2f (target <= 1.15)\n",
                    rounds, mode, a * 1e3, b * 1e3, a / b);
        if (std::string_view(mode) == "none") {
            CompareSocket(env, cli, logos, rounds, a);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SERVER_DIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const fs::path server = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const fs::path capture = server / "capture";
    ::setenv("CUPS_SERVER", (server / "cups.sock").c_str(), 1);
    ::setenv("PATH",
             (std::string(std::getenv("PATH") ? std::getenv("PATH") : "") + ":/usr/bin:/usr/sbin")
                 .c_str(),
             1);

    const std::vector<uint8_t> stream = UploadStream();
    const fs::path file = server / "upload-stream.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()),
               static_cast<std::streamsize>(stream.size()));

    std::printf("stream: %d logos of %d x %d dots, %zu bytes, written one byte per call\n", kLogos,
                kWidthDots, kHeightDots, stream.size());
    std::vector<double> backendTimes;
    std::vector<double> lpTimes;
    // One warm-up job each, then alternating rounds so drift hits both alike.
    SpoolThroughBackend(stream, capture);
    SpoolThroughLp(file, stream.size(), capture);
    for (int round = 0; round < rounds; ++round) {
        backendTimes.push_back(SpoolThroughBackend(stream, capture));
        lpTimes.push_back(SpoolThroughLp(file, stream.size(), capture));
        std::printf("round %d: CupsBackend %.1f ms, lp -o raw %.1f ms\n", round + 1,
                    backendTimes.back() * 1e3, lpTimes.back() * 1e3);
    }
    const double backend = Median(backendTimes);
    const double lp = Median(lpTimes);
    std::printf(
        "median of %d: CupsBackend %.1f ms, lp -o raw %.1f ms, ratio %.2f (target <= 1.25)\n",
        rounds, backend * 1e3, lp * 1e3, backend / lp);

    if (argc > 4) {
        std::printf("\nwhole upload: %d logo files of %d x %d dots, 24 bits\n", kLogos, kWidthDots,
                    kHeightDots);
        CompareWholeUpload(server, argv[3], argv[4], rounds);
    }
    return 0;
}
