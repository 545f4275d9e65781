// SPDX-License-Identifier: MIT
#include "printer/AutoLogo.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr uint8_t kFs = 0x1C;
// FS ( E's function group for the automatic logo (m, after fn).
constexpr uint8_t kLogoGroup = 2;
constexpr uint8_t kReplyHead = 0x37;
constexpr uint8_t kReplyId = 0x3D;

bool IsDigit(uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

Result<LogoReply> Refused(std::string why) {
    return Result<LogoReply>::Fail("the automatic logo reply " + std::move(why));
}

std::string Hex(uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// Reads the alignment at `at`: one byte 48 to 50, or the text "48" to "50".
std::optional<LogoAlign> ReadAlign(std::span<const uint8_t> body, std::size_t& at) {
    if (at < body.size() && body[at] >= 48 && body[at] <= 50) {
        return static_cast<LogoAlign>(body[at++]);
    }
    if (at + 1 < body.size() && IsDigit(body[at]) && IsDigit(body[at + 1])) {
        const int value = (body[at] - '0') * 10 + (body[at + 1] - '0');
        if (value >= 48 && value <= 50) {
            at += 2;
            return static_cast<LogoAlign>(value);
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view AlignName(LogoAlign align) {
    switch (align) {
    case LogoAlign::Left:
        return "left";
    case LogoAlign::Right:
        return "right";
    case LogoAlign::Center:
        break;
    }
    return "center";
}

Result<LogoAlign> ParseLogoAlign(std::string_view text) {
    if (text == "left") {
        return LogoAlign::Left;
    }
    if (text == "center" || text == "centre") {
        return LogoAlign::Center;
    }
    if (text == "right") {
        return LogoAlign::Right;
    }
    return Result<LogoAlign>::Fail("the alignment is left, center or right, not \"" +
                                   std::string(text) + "\"");
}

bool AutoLogoSettings::SameAs(const AutoLogoSettings& other) const {
    auto same = [](const std::optional<LogoSetting>& a, const std::optional<LogoSetting>& b) {
        return a.has_value() == b.has_value() && (!a || (a->key == b->key && a->align == b->align));
    };
    return same(top, other.top) && same(bottom, other.bottom);
}

std::string AutoLogoText(const AutoLogoSettings& settings) {
    if (!settings.Any()) {
        return {};
    }
    std::string text = settings.top ? settings.top->key.Text() : std::string();
    text += ',';
    text += settings.bottom ? settings.bottom->key.Text() : std::string();
    text += ',';
    const LogoSetting& first = settings.top ? *settings.top : *settings.bottom;
    text += AlignName(first.align);
    if (settings.top && settings.bottom && settings.top->align != settings.bottom->align) {
        text += '/';
        text += AlignName(settings.bottom->align);
    }
    return text;
}

Result<AutoLogoSettings> ParseAutoLogoText(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t from = 0;;) {
        const std::size_t comma = text.find(',', from);
        fields.push_back(text.substr(from, comma == std::string_view::npos ? comma : comma - from));
        if (comma == std::string_view::npos) {
            break;
        }
        from = comma + 1;
    }
    if (fields.size() > 3) {
        return Result<AutoLogoSettings>::Fail(
            "the automatic logo is TOP,BOTTOM,ALIGN (\"A1,A2,center\"), not \"" +
            std::string(text) + "\"");
    }
    LogoAlign align = LogoAlign::Center;
    if (fields.size() == 3 && !fields[2].empty()) {
        const auto parsed = ParseLogoAlign(fields[2]);
        if (!parsed) {
            return Result<AutoLogoSettings>::FailAs(parsed);
        }
        align = parsed.Value();
    }
    AutoLogoSettings settings;
    for (std::size_t i = 0; i < 2 && i < fields.size(); ++i) {
        if (fields[i].empty()) {
            continue;
        }
        const auto key = ParseGraphicKey(fields[i]);
        if (!key) {
            return Result<AutoLogoSettings>::Fail(std::string(i == 0 ? "top" : "bottom") +
                                                  " logo: " + key.Reason());
        }
        (i == 0 ? settings.top : settings.bottom) = LogoSetting{key.Value(), align, std::nullopt};
    }
    return settings;
}

std::vector<uint8_t> LogoCommand(uint8_t fn, std::span<const uint8_t> parameters) {
    const std::size_t count = parameters.size() + 2; // fn and m count too
    // Sized once and filled in place, which g++'s -O3 bounds checks take
    // without a false overflow warning.
    std::vector<uint8_t> out(5 + count);
    out[0] = kFs;
    out[1] = 0x28;
    out[2] = 0x45;
    out[3] = static_cast<uint8_t>(count & 0xFF);
    out[4] = static_cast<uint8_t>(count >> 8);
    out[5] = fn;
    out[6] = kLogoGroup;
    std::copy(parameters.begin(), parameters.end(), out.begin() + 7);
    return out;
}

std::vector<uint8_t> CancelLogoCommand(LogoPlace place) {
    const uint8_t parameters[] = {static_cast<uint8_t>(place), 'C', 'L', 'R'};
    return LogoCommand(kLogoCancel, parameters);
}

std::vector<uint8_t> LogoSettingsRequest(LogoPlace place) {
    const uint8_t parameters[] = {static_cast<uint8_t>(place)};
    return LogoCommand(kLogoSettings, parameters);
}

std::vector<uint8_t> SetTopLogoCommand(GraphicKey key, LogoAlign align, uint8_t linesRemoved) {
    const uint8_t parameters[] = {key.kc1, key.kc2, static_cast<uint8_t>(align), linesRemoved};
    return LogoCommand(kLogoSetTop, parameters);
}

std::vector<uint8_t> SetBottomLogoCommand(GraphicKey key, LogoAlign align) {
    const uint8_t parameters[] = {key.kc1, key.kc2, static_cast<uint8_t>(align)};
    return LogoCommand(kLogoSetBottom, parameters);
}

std::vector<uint8_t> EnableLogoCommand(LogoPlace place, bool enabled) {
    // 48 switches it on, 49 off.
    const uint8_t parameters[] = {static_cast<uint8_t>(place),
                                  static_cast<uint8_t>(enabled ? 48 : 49)};
    return LogoCommand(kLogoEnable, parameters);
}

LogoCommands AutoLogoCommands(const AutoLogoSettings& wanted,
                              const std::optional<AutoLogoSettings>& current) {
    LogoCommands out;
    auto append = [&out](const std::vector<uint8_t>& command) {
        out.bytes.insert(out.bytes.end(), command.begin(), command.end());
    };
    auto same = [](const std::optional<LogoSetting>& a, const std::optional<LogoSetting>& b) {
        return a.has_value() == b.has_value() && (!a || (a->key == b->key && a->align == b->align));
    };
    for (const LogoPlace place : {LogoPlace::Top, LogoPlace::Bottom}) {
        const bool top = place == LogoPlace::Top;
        const std::optional<LogoSetting>& want = top ? wanted.top : wanted.bottom;
        const bool unchanged = current && same(want, top ? current->top : current->bottom);
        if (want) {
            if (!unchanged) {
                append(
                    top ? SetTopLogoCommand(want->key, want->align, want->linesRemoved.value_or(0))
                        : SetBottomLogoCommand(want->key, want->align));
                ++out.writes;
            }
            // A logo another program switched off for the session stays off
            // until the printer is reset unless it is switched on again.
            append(EnableLogoCommand(place, true));
        } else if (!unchanged) {
            append(CancelLogoCommand(place));
            ++out.writes;
        }
    }
    return out;
}

Result<LogoReply> ParseLogoReply(std::span<const uint8_t> frame) {
    if (frame.size() < 4 || frame[0] != kReplyHead || frame[1] != kReplyId) {
        return Refused("does not begin with 37 3D");
    }
    if (frame.back() != 0) {
        return Refused("does not end with NUL");
    }
    const uint8_t which = frame[2];
    if (which != static_cast<uint8_t>(LogoPlace::Top) &&
        which != static_cast<uint8_t>(LogoPlace::Bottom)) {
        return Refused("names logo " + Hex(which) + ", neither top (30) nor bottom (31)");
    }
    LogoReply reply;
    reply.place = static_cast<LogoPlace>(which);
    const std::span<const uint8_t> body = frame.subspan(3, frame.size() - 4);
    if (body.empty()) {
        return reply;
    }
    if (body.size() < 3 || !IsKeyByte(body[0]) || !IsKeyByte(body[1])) {
        return Refused("holds no key of two characters from 32 to 126");
    }
    LogoSetting setting;
    setting.key = GraphicKey{body[0], body[1]};
    std::size_t at = 2;
    const auto align = ReadAlign(body, at);
    if (!align) {
        return Refused("gives alignment " + Hex(body[2]) + ", not 48 to 50");
    }
    setting.align = *align;
    const std::span<const uint8_t> rest = body.subspan(at);
    if (reply.place == LogoPlace::Bottom) {
        if (!rest.empty()) {
            return Refused("for the bottom logo carries " + std::to_string(rest.size()) +
                           " bytes past its alignment");
        }
    } else if (!rest.empty()) {
        if (std::all_of(rest.begin(), rest.end(), IsDigit)) {
            unsigned value = 0;
            for (const uint8_t digit : rest) {
                value = value * 10 + (digit - '0');
                if (value > 255 || rest.size() > 3) {
                    return Refused("gives more than 255 lines to take back");
                }
            }
            setting.linesRemoved = static_cast<uint8_t>(value);
        } else if (rest.size() == 1) {
            setting.linesRemoved = rest[0];
        } else {
            return Refused("carries " + std::to_string(rest.size()) +
                           " bytes past its alignment that are no number");
        }
    }
    reply.setting = setting;
    return reply;
}

void LogoReplyReader::Feed(std::span<const uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<Result<LogoReply>> LogoReplyReader::Reply() {
    for (;;) {
        // Up to the first 37 that may begin a reply.
        auto head = std::find(m_pending.begin(), m_pending.end(), kReplyHead);
        const auto skipped = static_cast<std::size_t>(head - m_pending.begin());
        m_pending.erase(m_pending.begin(), head);
        m_dropped += skipped;
        if (m_pending.size() < 2) {
            return std::nullopt;
        }
        if (m_pending[1] != kReplyId) {
            m_pending.erase(m_pending.begin());
            ++m_dropped;
            continue;
        }
        // The NUL that ends it; the logo byte at 2 is never one.
        const auto end = m_pending.size() > 3
                             ? std::find(m_pending.begin() + 3, m_pending.end(), uint8_t{0})
                             : m_pending.end();
        const auto length = static_cast<std::size_t>(end - m_pending.begin());
        if (end == m_pending.end()) {
            if (m_pending.size() < kMaxFrame) {
                return std::nullopt;
            }
            m_pending.erase(m_pending.begin());
            ++m_dropped;
            continue;
        }
        if (length + 1 > kMaxFrame) {
            m_pending.erase(m_pending.begin());
            ++m_dropped;
            continue;
        }
        const std::vector<uint8_t> frame(m_pending.begin(), end + 1);
        m_pending.erase(m_pending.begin(), end + 1);
        return ParseLogoReply(frame);
    }
}

} // namespace tessaline
