#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the bytes of a site icon are, read from their headers only: PNG, ICO (and CUR), GIF
// or JPEG, and how large they say the image is. Anything else (SVG, HTML, ...) is no icon.
// Nothing here decodes pixels; the UI does, and only after these checks passed.
class IconFormat {
public:
    enum class Kind { kNone, kPng, kIco, kGif, kJpeg };

    static const size_t kMaxBytes = 256u << 10; // an icon file at most
    static const int kMaxSide = 1024;           // wider or taller is refused
    // At most the pixels of a 256x256 image: a 16x16 tree icon needs no more, and each is
    // decoded on the UI thread.
    static const int64_t kMaxPixels = 256 * 256;
    // At most the pixels a decoder makes over all of a GIF's frames or a JPEG's scans.
    static const int64_t kMaxWork = 16 * kMaxPixels;
    static const int kMaxScans = 16; // of a (progressive) JPEG

    static Kind Sniff(const std::string& bytes);
    // The width and height the headers give (for an ICO the largest of its frames); false
    // when they cannot be read or a frame lies outside the file.
    static bool Size(const std::string& bytes, int& width, int& height);
    // An icon of a known kind, at most kMaxBytes, whose headers are readable and give no
    // side longer than kMaxSide, at most kMaxPixels, kMaxWork and kMaxScans.
    static bool Acceptable(const std::string& bytes);
    // The ICO frame whose size is nearest side x side (the larger of two as near); 0 for
    // other kinds.
    static int NearestFrame(const std::string& bytes, int side);
};
