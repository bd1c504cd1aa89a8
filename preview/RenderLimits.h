#pragma once

namespace korvane::preview {

// The helper's answer: its exit code and, on success, one header line on standard output
// "KVPR <pages> <page> <width> <height>\n" followed by width * height * 4 bytes of the page in
// QImage::Format_RGB32.
enum Exit { kShown = 0, kUsage = 2, kDamaged = 3, kTooLarge = 4, kUnknown = 5 };

// Bounds of one decode: pixels an image may claim, the longest side of what comes back, PDF page
// sides in points (the PDF format itself stops at 14400), CPU seconds and address space.
constexpr long long kMaxImagePixels = 120LL * 1000 * 1000;
constexpr int kMaxSide = 4096;
constexpr double kMaxPagePoints = 14400.0;
constexpr int kCpuSeconds = 10;
constexpr long long kAddressSpaceBytes = 3LL * 1024 * 1024 * 1024;
constexpr int kAllocationMiB = 600;

}  // namespace korvane::preview
