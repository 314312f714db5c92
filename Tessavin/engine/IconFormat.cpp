#include "engine/IconFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";
const size_t kMaxIcoFrames = 64;

uint32_t Byte(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]);
}
uint32_t Le16(const std::string& b, size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8;
}
uint32_t Le32(const std::string& b, size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}
uint32_t Be16(const std::string& b, size_t at) {
    return Byte(b, at) << 8 | Byte(b, at + 1);
}
uint32_t Be32(const std::string& b, size_t at) {
    return Be16(b, at) << 16 | Be16(b, at + 2);
}

bool IsPngAt(const std::string& b, size_t at) {
    return b.size() >= at + 8 && std::memcmp(b.data() + at, kPngSignature, 8) == 0;
}

// The size in the IHDR chunk of a PNG that starts at `at`.
bool PngSize(const std::string& b, size_t at, int64_t& w, int64_t& h) {
    if (b.size() < at + 24 || b.compare(at + 12, 4, "IHDR") != 0)
        return false;
    w = Be32(b, at + 16);
    h = Be32(b, at + 20);
    return true;
}

// The size in the frame header of a JPEG, and its scans: each is a pass of the decoder over
// the whole image (a progressive file may hold thousands). The scans are counted up to the
// end of the bytes; a file cut short after its frame header is left to the decoder.
bool JpegSize(const std::string& b, int64_t& w, int64_t& h, int64_t& scans) {
    bool frameRead = false;
    scans = 0;
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (Byte(b, at) != 0xFF)
            return false;
        const uint32_t marker = Byte(b, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9) // end of image
            break;
        // No marker (a stuffed 00) or a reserved one where a marker must stand: a decoder
        // passes such bytes over as junk and would decode the scans that this walk skipped.
        if (marker < 0xC0 && marker != 0x01)
            return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without length
            at += 2;
            continue;
        }
        const uint32_t length = Be16(b, at + 2);
        if (length < 2)
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && !frameRead) {
            if (at + 9 > b.size())
                return false;
            h = Be16(b, at + 5);
            w = Be16(b, at + 7);
            frameRead = true;
        }
        at += 2 + length;
        if (marker == 0xDA) { // a scan: image data up to the next marker but a restart
            if (!frameRead)
                return false;
            ++scans;
            while (at + 1 < b.size() && !(Byte(b, at) == 0xFF && Byte(b, at + 1) != 0 &&
                                          (Byte(b, at + 1) < 0xD0 || Byte(b, at + 1) > 0xD7)))
                ++at;
        }
    }
    return frameRead;
}

// The size of a GIF: its logical screen, and every frame's extent (a decoder makes room for
// each frame as its own descriptor says, whatever the screen says); area: the pixels of all
// frames, which the decoder unpacks each.
bool GifSize(const std::string& b, int64_t& w, int64_t& h, int64_t& area) {
    if (b.size() < 13)
        return false;
    w = Le16(b, 6);
    h = Le16(b, 8);
    auto colourTable = [](uint32_t flags) { return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0u; };
    // Past a run of data sub-blocks (each a length byte, the last one 0).
    auto skipBlocks = [&b](size_t at) {
        while (at < b.size() && b[at] != 0)
            at += Byte(b, at) + 1;
        return at + 1;
    };
    size_t at = 13 + colourTable(Byte(b, 10));
    while (at < b.size()) {
        const uint32_t block = Byte(b, at);
        if (block == 0x3B) // the trailer
            break;
        if (block == 0x21) { // an extension: its label, then sub-blocks
            at = skipBlocks(at + 2);
        } else if (block == 0x2C) { // a frame: its descriptor, colour table, code size, data
            if (at + 10 > b.size())
                return false;
            area += static_cast<int64_t>(Le16(b, at + 5)) * Le16(b, at + 7);
            w = std::max<int64_t>(w, Le16(b, at + 1) + Le16(b, at + 5));
            h = std::max<int64_t>(h, Le16(b, at + 3) + Le16(b, at + 7));
            at = skipBlocks(at + 10 + colourTable(Byte(b, at + 9)) + 1);
        } else {
            return false;
        }
    }
    return true;
}

// Each frame of an ICO: the directory's size and the size its image header gives (a PNG's
// IHDR, or a bitmap header whose height counts the mask too). Calls frame(index, w, h).
template <typename Frame> bool IcoFrames(const std::string& b, Frame frame) {
    const size_t count = b.size() >= 6 ? Le16(b, 4) : 0;
    if (count == 0 || count > kMaxIcoFrames || b.size() < 6 + 16 * count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t length = Le32(b, entry + 8), offset = Le32(b, entry + 12);
        if (offset >= b.size() || length > b.size() - offset)
            return false;
        int64_t w = Byte(b, entry) == 0 ? 256 : Byte(b, entry);
        int64_t h = Byte(b, entry + 1) == 0 ? 256 : Byte(b, entry + 1);
        int64_t iw = 0, ih = 0;
        if (IsPngAt(b, offset)) {
            if (!PngSize(b, offset, iw, ih))
                return false;
        } else {
            if (b.size() < offset + 12 || Le32(b, offset) < 12)
                return false;
            iw = std::llabs(static_cast<int32_t>(Le32(b, offset + 4)));
            ih = std::llabs(static_cast<int32_t>(Le32(b, offset + 8))) / 2;
        }
        if (!frame(i, std::max(w, iw), std::max(h, ih), w, h))
            return false;
    }
    return true;
}

// The size the headers give, the pixels the decoder makes over all its passes and frames,
// and the scans of a JPEG.
bool Measure(const std::string& b, int64_t& w, int64_t& h, int64_t& work, int64_t& scans) {
    bool read = false;
    switch (IconFormat::Sniff(b)) {
    case IconFormat::Kind::kPng:
        read = PngSize(b, 0, w, h);
        break;
    case IconFormat::Kind::kGif:
        read = GifSize(b, w, h, work);
        break;
    case IconFormat::Kind::kJpeg:
        read = JpegSize(b, w, h, scans);
        work = w * h * std::max<int64_t>(scans, 1);
        break;
    case IconFormat::Kind::kIco: // only the frame shown is decoded
        read = IcoFrames(b, [&](size_t, int64_t fw, int64_t fh, int64_t, int64_t) {
            w = std::max(w, fw);
            h = std::max(h, fh);
            return true;
        });
        break;
    case IconFormat::Kind::kNone:
        break;
    }
    // Sides beyond any int (a PNG's may be) said as the largest, which no check lets through.
    w = std::min<int64_t>(w, INT32_MAX);
    h = std::min<int64_t>(h, INT32_MAX);
    work = std::max(work, w * h);
    return read;
}

} // namespace

IconFormat::Kind IconFormat::Sniff(const std::string& b) {
    if (IsPngAt(b, 0))
        return Kind::kPng;
    if (b.size() >= 6 && b[0] == 0 && b[1] == 0 && (b[2] == 1 || b[2] == 2) && b[3] == 0 &&
        Le16(b, 4) > 0)
        return Kind::kIco;
    if (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0)
        return Kind::kGif;
    if (b.size() >= 3 && Byte(b, 0) == 0xFF && Byte(b, 1) == 0xD8 && Byte(b, 2) == 0xFF)
        return Kind::kJpeg;
    return Kind::kNone;
}

bool IconFormat::Size(const std::string& b, int& width, int& height) {
    int64_t w = 0, h = 0, work = 0, scans = 0;
    const bool read = Measure(b, w, h, work, scans);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return read;
}

bool IconFormat::Acceptable(const std::string& bytes) {
    int64_t w = 0, h = 0, work = 0, scans = 0;
    return bytes.size() <= kMaxBytes && Measure(bytes, w, h, work, scans) && w > 0 && h > 0 &&
           w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels && work <= kMaxWork &&
           scans <= kMaxScans;
}

int IconFormat::NearestFrame(const std::string& bytes, int side) {
    if (Sniff(bytes) != Kind::kIco)
        return 0;
    int best = 0;
    int64_t bestDistance = INT64_MAX, bestSize = 0;
    IcoFrames(bytes, [&](size_t i, int64_t, int64_t, int64_t w, int64_t h) {
        const int64_t distance = std::llabs(w - side) + std::llabs(h - side);
        if (distance < bestDistance || (distance == bestDistance && w * h > bestSize)) {
            best = static_cast<int>(i);
            bestDistance = distance;
            bestSize = w * h;
        }
        return true;
    });
    return best;
}
