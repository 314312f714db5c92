#pragma once

#include <cstddef>
#include <string>

// What the bytes of a site icon are, read from their headers only: PNG, ICO (and CUR), GIF
// or JPEG, and how large they say the image is. Anything else (SVG, HTML, ...) is no icon.
// Nothing here decodes pixels; the UI does, and only after these checks passed.
class IconFormat {
public:
    enum class Kind { kNone, kPng, kIco, kGif, kJpeg };

    static const size_t kMaxBytes = 256u << 10; // an icon file at most
    static const int kMaxSide = 1024;           // wider or taller is refused

    static Kind Sniff(const std::string& bytes);
    // The width and height the headers give (for an ICO the largest of its frames); false
    // when they cannot be read or a frame lies outside the file.
    static bool Size(const std::string& bytes, int& width, int& height);
    // An icon of a known kind, at most kMaxBytes, whose headers are readable and give no
    // side longer than kMaxSide.
    static bool Acceptable(const std::string& bytes);
    // The ICO frame whose size is nearest side x side (the larger of two as near); 0 for
    // other kinds.
    static int NearestFrame(const std::string& bytes, int side);
};
