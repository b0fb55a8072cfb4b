// The arithmetic and the status-line fitting of the progress display. They need no window
// system: the platform layers supply the text measure and paint what comes out.
#pragma once

#include <cstdint>
#include <string>

#include "host/function_ref.h"

// Percentage of done over total, computed in 80-bit extended precision with the division
// first; a total of zero (never produced by a sound archive) gives 0.
int32_t ProgressPercent(int32_t done, int32_t total);

// Filled width of a bar whose inner part is innerWidth wide, computed in 80-bit extended
// precision with the extended value nearest to 0.01; never wider than innerWidth.
int32_t BarFillWidth(int32_t innerWidth, int32_t percent);

// One shortening step of a non-empty directory text: the first component after the "...\"
// marker gives way to the marker; a leading "\" is kept.
std::string ShortenPath(const std::string& directory);

// Width of a text in whatever unit the caller measures in (pixels, terminal columns).
using TextMeasure = FunctionRef<int32_t(const std::string& text)>;

// True when the text is strictly wider than maxWidth.
bool TextTooWide(const TextMeasure& measure, int32_t maxWidth, const std::string& text);

// The path as the status label shows it: its directory part shortened step by step, the
// drive dropped last, until it fits into maxWidth. The file name alone is never measured
// and is returned even when it is still too wide.
std::string FitPathToLabel(const std::string& path, const TextMeasure& measure, int32_t maxWidth);

// Origin that centres an extent within the screen's extent; truncates toward zero, so a
// window larger than the screen gets a negative origin rounded toward zero.
int32_t CentredOrigin(int32_t screenExtent, int32_t windowExtent);
