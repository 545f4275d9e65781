// SPDX-License-Identifier: MIT
// Shaping a logo for the paper before its dots are made: fitting it to the
// paper's width, the further ways of making dots, and the files that carry
// the results to the control.
#pragma once

#include "imaging/BmpReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// Scales a logo wider than `dots` down to `dots` wide, keeping its proportions,
// by area averaging over white paper (thin lines fade to grey instead of
// vanishing); a logo no wider comes back as it is. Never enlarges.
DecodedBitmap FitToWidth(const DecodedBitmap& logo, int32_t dots);

// The ways of making dots beyond the control's "None" and "Error Diffusion"
// (whose Stucki diffusion is the control's own).
enum class DitherKind { Threshold, FloydSteinberg, Atkinson, Bayer };
std::optional<DitherKind> DitherKindNamed(const std::string& name);

// The grey levels of a logo, rows top-down, with the brightness offset of
// "Error Diffusion" applied: the levels the control's two modes start from.
std::vector<uint8_t> GreyRows(const DecodedBitmap& logo, int32_t brightness);

// Dots of a grey plane (w x h, rows top-down, 0 black to 255 white): 0 where
// a dot prints, 255 where the paper stays white. Threshold prints below
// `threshold`; the diffusions decide at 128 and spread the error left to
// right, top to bottom; Bayer compares with its 8 x 8 matrix.
std::vector<uint8_t> Dither(std::span<const uint8_t> grey, std::size_t w, std::size_t h,
                            DitherKind kind, int threshold);

// A one-bit BMP file of dots (rows top-down, 0 a dot), laid out as the preview
// pictures are: palette white then black, rows bottom-up.
std::vector<uint8_t> EncodeDotsBmp(std::span<const uint8_t> mono, std::size_t w, std::size_t h);

// A 24-bit BMP file of a logo's rows as the BMP reader delivers them (24 bits per pixel).
std::vector<uint8_t> EncodeBmp24(const DecodedBitmap& logo);

// A one-bit picture enlarged `scale` times in both directions, for judging on screen.
std::optional<std::vector<uint8_t>> ScaledDotsBmp(std::span<const uint8_t> oneBitBmp, int scale);

} // namespace tessaline
