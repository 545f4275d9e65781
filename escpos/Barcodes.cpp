// SPDX-License-Identifier: MIT
#include "Barcodes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <qrencode.h>

namespace tessaline {

namespace {

// Bar and space widths of each CODE128 value; 106 is the stop, which ends
// with a two-module bar.
constexpr const char* kCode128[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

constexpr int kStartA = 103;
constexpr int kStartB = 104;
constexpr int kStartC = 105;
constexpr int kStop = 106;
constexpr int kShift = 98;
constexpr int kCodeC = 99;
constexpr int kCodeB = 100; // FNC4 in code set B
constexpr int kCodeA = 101; // FNC4 in code set A
constexpr int kFnc1 = 102;

// CODE39: nine elements, bar first; 1 is a wide one.
constexpr const char* kCode39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. *$/+%";
constexpr const char* kCode39[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000",
    "000100101", "100100100", "001100100", "100001001", "001001001", "101001000", "000011001",
    "100011000", "001011000", "000001101", "100001100", "001001100", "000011100", "100000011",
    "001000011", "101000010", "000010011", "100010010", "001010010", "000000111", "100000110",
    "001000110", "000010110", "110000001", "011000001", "111000000", "010010001", "110010000",
    "011010000", "010000101", "110000100", "011000100", "010010100", "010101000", "010100010",
    "010001010", "000101010"};

// The L codes of the EAN digits; R codes are their complement, G codes the
// R codes reversed.
constexpr const char* kEanL[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                   "0110001", "0101111", "0111011", "0110111", "0001011"};
// Which of the six left digits of EAN-13 take G codes, by the first digit.
constexpr const char* kEanParity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                        "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};

void AppendBits(std::vector<bool>& out, std::string_view bits) {
    for (const char c : bits) {
        out.push_back(c == '1');
    }
}

void AppendWidths(std::vector<bool>& out, std::string_view widths) {
    bool bar = true;
    for (const char c : widths) {
        out.insert(out.end(), static_cast<size_t>(c - '0'), bar);
        bar = !bar;
    }
}

enum class EanCode { L, G, R };

void AppendEanDigit(std::vector<bool>& out, int digit, EanCode code) {
    const std::string_view l = kEanL[digit];
    std::string bits(l);
    if (code != EanCode::L) {
        for (char& c : bits) {
            c = c == '1' ? '0' : '1';
        }
        if (code == EanCode::G) {
            std::reverse(bits.begin(), bits.end());
        }
    }
    AppendBits(out, bits);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The digits with their check digit, or the reason they are not a code of
// `length` digits.
std::string WithCheckDigit(std::string_view data, size_t length, const char* name,
                           std::string* problem) {
    if ((data.size() != length - 1 && data.size() != length) || !AllDigits(data)) {
        *problem = std::string(name) + " takes " + std::to_string(length - 1) + " or " +
                   std::to_string(length) + " digits";
        return {};
    }
    const int check = EanCheckDigit(data.substr(0, length - 1));
    if (data.size() == length && data.back() - '0' != check) {
        *problem = std::string(name) + " check digit " + data.back() + " where " +
                   std::to_string(check) + " belongs";
        return {};
    }
    std::string digits(data.substr(0, length - 1));
    digits += static_cast<char>('0' + check);
    return digits;
}

BarcodeModules Ean13Of(const std::string& digits) {
    BarcodeModules code;
    const int first = digits[0] - '0';
    AppendBits(code.modules, "101");
    for (size_t i = 1; i <= 6; ++i) {
        AppendEanDigit(code.modules, digits[i] - '0',
                       kEanParity[first][i - 1] == 'G' ? EanCode::G : EanCode::L);
    }
    AppendBits(code.modules, "01010");
    for (size_t i = 7; i <= 12; ++i) {
        AppendEanDigit(code.modules, digits[i] - '0', EanCode::R);
    }
    AppendBits(code.modules, "101");
    code.text = digits;
    return code;
}

} // namespace

int EanCheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += (*it - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

BarcodeModules EncodeEan13(std::string_view data) {
    BarcodeModules code;
    const std::string digits = WithCheckDigit(data, 13, "EAN-13", &code.problem);
    return digits.empty() ? code : Ean13Of(digits);
}

BarcodeModules EncodeUpcA(std::string_view data) {
    BarcodeModules code;
    const std::string digits = WithCheckDigit(data, 12, "UPC-A", &code.problem);
    if (digits.empty()) {
        return code;
    }
    // UPC-A is EAN-13 with a leading 0.
    std::string ean(1, '0');
    ean += digits;
    code = Ean13Of(ean);
    code.text = digits;
    return code;
}

BarcodeModules EncodeEan8(std::string_view data) {
    BarcodeModules code;
    const std::string digits = WithCheckDigit(data, 8, "EAN-8", &code.problem);
    if (digits.empty()) {
        return code;
    }
    AppendBits(code.modules, "101");
    for (size_t i = 0; i < 4; ++i) {
        AppendEanDigit(code.modules, digits[i] - '0', EanCode::L);
    }
    AppendBits(code.modules, "01010");
    for (size_t i = 4; i < 8; ++i) {
        AppendEanDigit(code.modules, digits[i] - '0', EanCode::R);
    }
    AppendBits(code.modules, "101");
    code.text = digits;
    return code;
}

BarcodeModules EncodeCode39(std::string_view data, int ratio) {
    BarcodeModules code;
    std::string text(data);
    if (text.empty() || text.front() != '*') {
        text.insert(text.begin(), '*');
    }
    if (text.size() < 2 || text.back() != '*') {
        text += '*';
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char* found = std::strchr(kCode39Chars, text[i]);
        if (text[i] == '\0' || found == nullptr ||
            (text[i] == '*' && i != 0 && i + 1 != text.size())) {
            code.problem =
                "CODE39 has no character " + std::to_string(static_cast<unsigned char>(text[i]));
            code.modules.clear();
            return code;
        }
        if (i != 0) {
            code.modules.push_back(false); // the gap between characters
        }
        const char* pattern = kCode39[found - kCode39Chars];
        for (int e = 0; e < 9; ++e) {
            code.modules.insert(code.modules.end(),
                                pattern[e] == '1' ? static_cast<size_t>(ratio) : 1, e % 2 == 0);
        }
    }
    code.text = text;
    return code;
}

std::vector<int> Code128Values(std::string_view data, std::string* problem, std::string* text) {
    std::vector<int> values;
    if (data.size() < 2 || data[0] != '{' || (data[1] != 'A' && data[1] != 'B' && data[1] != 'C')) {
        *problem = "CODE128 data starts with {A, {B or {C";
        return {};
    }
    char set = data[1];
    values.push_back(set == 'A' ? kStartA : set == 'B' ? kStartB : kStartC);
    bool shifted = false;
    for (size_t i = 2; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == '{' && i + 1 < data.size() && data[i + 1] != '{') {
            const char what = data[++i];
            switch (what) {
            case 'A':
            case 'B':
            case 'C':
                if (what != set) {
                    values.push_back(what == 'A' ? kCodeA : what == 'B' ? kCodeB : kCodeC);
                    set = what;
                }
                break;
            case 'S':
                if (set == 'C') {
                    *problem = "CODE128 has no shift in code set C";
                    return {};
                }
                values.push_back(kShift);
                shifted = true;
                break;
            case '1':
                values.push_back(kFnc1);
                break;
            case '2':
                if (set == 'C') {
                    *problem = "CODE128 has no FNC2 in code set C";
                    return {};
                }
                values.push_back(97);
                break;
            case '3':
                if (set == 'C') {
                    *problem = "CODE128 has no FNC3 in code set C";
                    return {};
                }
                values.push_back(96);
                break;
            case '4':
                if (set == 'C') {
                    *problem = "CODE128 has no FNC4 in code set C";
                    return {};
                }
                values.push_back(set == 'A' ? kCodeA : kCodeB);
                break;
            default:
                *problem = "CODE128 has no {" + std::string(1, what);
                return {};
            }
            continue;
        }
        if (c == '{') {
            ++i; // "{{" is one brace
        }
        const char now = shifted ? (set == 'A' ? 'B' : 'A') : set;
        shifted = false;
        if (now == 'C') {
            if (i + 1 >= data.size() || !AllDigits(data.substr(i, 2))) {
                *problem = "CODE128 code set C takes digits in pairs";
                return {};
            }
            values.push_back((data[i] - '0') * 10 + (data[i + 1] - '0'));
            *text += data.substr(i, 2);
            ++i;
        } else if (now == 'A' && c < 96) {
            values.push_back(c < 32 ? c + 64 : c - 32);
            *text += c < 32 ? ' ' : static_cast<char>(c);
        } else if (now == 'B' && c >= 32 && c < 128) {
            values.push_back(c - 32);
            *text += static_cast<char>(c);
        } else {
            *problem = "CODE128 code set " + std::string(1, now) + " has no character " +
                       std::to_string(c);
            return {};
        }
    }
    if (values.size() < 2) {
        *problem = "CODE128 without data";
        return {};
    }
    int sum = values[0];
    for (size_t i = 1; i < values.size(); ++i) {
        sum += values[i] * static_cast<int>(i);
    }
    values.push_back(sum % 103);
    values.push_back(kStop);
    return values;
}

BarcodeModules EncodeCode128(std::string_view data) {
    BarcodeModules code;
    const std::vector<int> values = Code128Values(data, &code.problem, &code.text);
    for (const int v : values) {
        AppendWidths(code.modules, kCode128[v]);
    }
    if (values.empty()) {
        code.text.clear();
    }
    return code;
}

std::vector<std::vector<bool>> EncodeQr(std::string_view data, int level, std::string* problem) {
    static constexpr QRecLevel kLevels[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q,
                                             QR_ECLEVEL_H};
    std::vector<std::vector<bool>> rows;
    if (data.empty()) {
        *problem = "no data stored";
        return rows;
    }
    errno = 0;
    QRcode* qr = QRcode_encodeData(static_cast<int>(data.size()),
                                   reinterpret_cast<const unsigned char*>(data.data()), 0,
                                   kLevels[std::clamp(level, 0, 3)]);
    if (qr == nullptr) {
        *problem = errno == ERANGE ? "too much data for a QR code"
                                   : std::string("libqrencode: ") + std::strerror(errno);
        return rows;
    }
    rows.assign(static_cast<size_t>(qr->width), std::vector<bool>(static_cast<size_t>(qr->width)));
    for (int y = 0; y < qr->width; ++y) {
        for (int x = 0; x < qr->width; ++x) {
            rows[static_cast<size_t>(y)][static_cast<size_t>(x)] =
                (qr->data[y * qr->width + x] & 1) != 0;
        }
    }
    QRcode_free(qr);
    return rows;
}

} // namespace tessaline
