// CTessalineCtrl: the Tessaline control's methods, Progress event, drawing and verbs.

#include "CTessalineCtrl.h"

#include "TessalineIds.h"
#include "imaging/CLogoImage.h"
#include "platform/AtomicFile.h"
#include "platform/SystemSpooler.h"
#include "printer/PrinterMethods.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace tessaline {

// Upload and Print hand their hosts the printer operation's results as they
// stand, so those are the codes the hosts' header promises.
static_assert(kPrinterOk == TESSALINE_PRINTER_OK);
static_assert(kPrinterNoMemory == TESSALINE_PRINTER_NO_MEMORY);
static_assert(kPrinterNotStarted == TESSALINE_PRINTER_NOT_STARTED);
static_assert(kPrinterNotSent == TESSALINE_PRINTER_NOT_SENT);
static_assert(kPrinterRefused == TESSALINE_PRINTER_REFUSED);
static_assert(kPrinterNotInstalled == TESSALINE_PRINTER_NOT_INSTALLED);

namespace {

constexpr uint32_t kBackColour = TS_RGB(192, 192, 192);
constexpr uint32_t kTextColour = TS_RGB(0, 0, 0);
constexpr const char* kCaptionText = "Tessaline Download";
constexpr int32_t kTextOffset = 2;

constexpr std::array<TsVerbInfo, 1> kVerbs{{{TS_VERB_PROPERTIES, "&Properties..."}}};

// The text's corner inside the rectangle; a host's extreme coordinates stay
// at the edge of the range instead of wrapping.
int32_t Inset(int32_t edge) {
    return edge > INT32_MAX - kTextOffset ? INT32_MAX : edge + kTextOffset;
}

// Marks the channel as taken for one call and gives it back however the call ends.
class ChannelClaim {
public:
    explicit ChannelClaim(bool& busy) : m_busy(busy) { m_busy = true; }
    ~ChannelClaim() { m_busy = false; }
    ChannelClaim(const ChannelClaim&) = delete;
    ChannelClaim& operator=(const ChannelClaim&) = delete;

private:
    bool& m_busy;
};

} // namespace

int32_t CTessalineCtrl::BitmapInfo(const std::string& NVImage, int32_t& BitsPixel, int32_t& Height,
                                   int32_t& Width) {
    return tessaline::BitmapInfo(NVImage, BitsPixel, Height, Width, &m_errorText);
}

std::string CTessalineCtrl::Preview(const std::string& PreviewName, int16_t ImageMode,
                                    int16_t Brightness) {
    return tessaline::Preview(PreviewName, ImageMode, Brightness, ReplaceWholeFile, &m_errorText);
}

template <typename Operation> int32_t CTessalineCtrl::RunOnChannel(Operation&& operation) {
    if (m_channelBusy) {
        // A Progress handler of ours called back in: the running job owns the
        // channel, so this call sends nothing rather than cut into that job.
        m_errorText = "Upload or Print was called from a Progress handler while this control's "
                      "own call was running";
        return kPrinterNotStarted;
    }
    ChannelClaim claim(m_channelBusy);
    const std::unique_ptr<Spooler> spooler = MakeSpooler();
    // The running call's reason lands here first, so that a nested call
    // refused meanwhile cannot leave its words in place of this call's.
    std::string failure;
    const PrinterContext context{
        *spooler,
        [this](int32_t data) { FireProgress(data); },
        [this](const std::string& text, const std::string& caption) { ShowMessage(text, caption); },
        {},
        &failure,
        ReplaceWholeFile};
    const int32_t result = operation(context);
    m_errorText = failure;
    return result;
}

int32_t CTessalineCtrl::Print(int32_t Printer, const std::string& PrinterName, int32_t Range,
                              int32_t Mode, int32_t lngEnd) {
    return RunOnChannel([&](const PrinterContext& context) {
        return tessaline::Print(context, Printer, PrinterName, Range, Mode, lngEnd);
    });
}

int32_t CTessalineCtrl::Upload(int32_t Printer, const std::string& PrinterName,
                               const std::string& NVImage, int32_t ImageMode, int32_t Brightness) {
    return RunOnChannel([&](const PrinterContext& context) {
        return tessaline::Upload(context, Printer, PrinterName, NVImage, ImageMode, Brightness);
    });
}

uint32_t CTessalineCtrl::Advise(const TsEventSink& sink) {
    const uint32_t cookie = m_nextCookie++;
    m_sinks.emplace_back(cookie, sink);
    return cookie;
}

bool CTessalineCtrl::Unadvise(uint32_t cookie) {
    const auto found = std::find_if(m_sinks.begin(), m_sinks.end(),
                                    [cookie](const auto& entry) { return entry.first == cookie; });
    if (found == m_sinks.end()) {
        return false;
    }
    m_sinks.erase(found);
    return true;
}

void CTessalineCtrl::FireProgress(int32_t Data) {
    // A handler may connect or disconnect sinks while the event is out: the
    // event goes to the sinks connected when it was raised that are still
    // connected when their turn comes.
    std::vector<uint32_t> cookies;
    cookies.reserve(m_sinks.size());
    for (const auto& entry : m_sinks) {
        cookies.push_back(entry.first);
    }
    for (const uint32_t cookie : cookies) {
        const auto found =
            std::find_if(m_sinks.begin(), m_sinks.end(),
                         [cookie](const auto& entry) { return entry.first == cookie; });
        if (found == m_sinks.end() || found->second.Invoke == nullptr) {
            continue;
        }
        const TsEventSink sink = found->second;
        TsVariant argument{};
        argument.vt = TS_VT_I4;
        argument.u.i4 = Data;
        sink.Invoke(sink.context, kEventidProgress, &argument, 1);
    }
}

void CTessalineCtrl::SetHostSite(const TsHostSite* site) {
    if (site == nullptr) {
        m_site.reset();
    } else {
        m_site = *site;
    }
}

void CTessalineCtrl::ShowMessage(const std::string& text, const std::string& caption) const {
    if (m_site && m_site->MessageBox != nullptr) {
        m_site->MessageBox(m_site->context, text.c_str(), caption.c_str(), TS_MB_OK);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool CTessalineCtrl::OnDraw(const TsSurface& surface, TsRect bounds) const {
    if (surface.FillRect == nullptr || surface.DrawText == nullptr) {
        return false;
    }
    surface.FillRect(surface.context, bounds, kBackColour);
    // The host's font and clipping apply; a rectangle smaller than the text
    // shows what the host's clipping lets through.
    surface.DrawText(surface.context, Inset(bounds.left), Inset(bounds.top), kCaptionText,
                     kTextColour, kBackColour);
    return true;
}

const TsVerbInfo* CTessalineCtrl::Verbs(uint32_t& count) {
    count = static_cast<uint32_t>(kVerbs.size());
    return kVerbs.data();
}

} // namespace tessaline
