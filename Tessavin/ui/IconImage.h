#pragma once

#include <string>
#include <wx/bitmap.h>

// A channel's site icon as the tree shows it: the cached bytes decoded by wx's image
// handlers (PNG, ICO, GIF, JPEG) and scaled to 16x16.
class IconImage {
public:
    static const int kSide = 16;

    // Adds the image handlers the icons need, once (the plug-in's start-up).
    static void AddHandlers();
    // The icon as a 16x16 bitmap; false, with nothing logged, when the bytes are too many,
    // IconFormat does not accept their header, they do not decode, or the image shows
    // nothing (all transparent, or all black without transparency).
    // For an ICO the frame nearest 16x16 is taken.
    static bool Decode(const std::string& bytes, wxBitmap& bitmap);
};
