// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// A one-dimensional bar code as the printer lays it out: one entry a module,
// true for a bar, quiet zones left out; `text` is its human-readable line.
// `problem` says why the data cannot be encoded, and then `modules` is empty.
struct BarcodeModules {
    std::vector<bool> modules;
    std::string text;
    std::string problem;
};

// The check digit of the digits given (EAN-13 and UPC-A: weights 3 and 1
// from the right, EAN-8 alike).
int EanCheckDigit(std::string_view digits);

// EAN-13 from 12 digits, or 13 whose last is the right check digit.
BarcodeModules EncodeEan13(std::string_view data);
// EAN-8 from 7 digits, or 8 whose last is the right check digit.
BarcodeModules EncodeEan8(std::string_view data);
// UPC-A from 11 digits, or 12 whose last is the right check digit.
BarcodeModules EncodeUpcA(std::string_view data);
// CODE39: digits, capitals, space and - . $ / + %, with the start and stop
// character * added where the data does not bring them. Wide elements are
// `ratio` modules wide.
BarcodeModules EncodeCode39(std::string_view data, int ratio);
// CODE128 as the receipt printer takes it: the data starts with "{A", "{B"
// or "{C" choosing the code set; "{A", "{B", "{C" change it, "{S" shifts
// one character, "{1" to "{4" are FNC1 to FNC4 and "{{" is a brace.
BarcodeModules EncodeCode128(std::string_view data);

// The code values of CODE128 (start, data, check, stop) before they become
// modules; empty with `problem` set when the data cannot be encoded.
std::vector<int> Code128Values(std::string_view data, std::string* problem, std::string* text);

// A QR code (model 2) of `data`: one row of booleans a line, true for a dark
// module; empty with `problem` set when libqrencode cannot encode it.
// `level` 0 to 3 is L, M, Q, H.
std::vector<std::vector<bool>> EncodeQr(std::string_view data, int level, std::string* problem);

} // namespace tessaline
