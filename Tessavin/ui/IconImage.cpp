#include "ui/IconImage.h"

#include "engine/IconFormat.h"

#include <algorithm>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

namespace {

// Whether the image shows nothing: every pixel transparent, or every one black with none
// transparent (what a decoder makes of frames without data).
bool Blank(const wxImage& image) {
    const size_t pixels = static_cast<size_t>(image.GetWidth()) * image.GetHeight();
    const unsigned char* rgb = image.GetData();
    const unsigned char* alpha = image.HasAlpha() ? image.GetAlpha() : nullptr;
    const bool mask = image.HasMask();
    const unsigned char mr = image.GetMaskRed(), mg = image.GetMaskGreen(),
                        mb = image.GetMaskBlue();
    bool anyTransparent = false, allTransparent = true, allBlack = true;
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = rgb + 3 * i;
        const bool transparent =
            (alpha && alpha[i] == 0) || (mask && p[0] == mr && p[1] == mg && p[2] == mb);
        anyTransparent |= transparent;
        allTransparent &= transparent;
        allBlack &= transparent || (p[0] | p[1] | p[2]) == 0;
    }
    return allTransparent || (!anyTransparent && allBlack);
}

} // namespace

void IconImage::AddHandlers() {
    // A handler already there (the host's own) is kept.
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_ICO))
        wxImage::AddHandler(new wxICOHandler);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_GIF))
        wxImage::AddHandler(new wxGIFHandler);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG))
        wxImage::AddHandler(new wxJPEGHandler);
}

bool IconImage::Decode(const std::string& bytes, wxBitmap& bitmap) {
    // The header is checked before any decoder sees the bytes.
    if (!IconFormat::Acceptable(bytes))
        return false;
    wxBitmapType type = wxBITMAP_TYPE_INVALID;
    switch (IconFormat::Sniff(bytes)) {
    case IconFormat::Kind::kPng:
        type = wxBITMAP_TYPE_PNG;
        break;
    case IconFormat::Kind::kIco:
        type = wxBITMAP_TYPE_ICO;
        break;
    case IconFormat::Kind::kGif:
        type = wxBITMAP_TYPE_GIF;
        break;
    case IconFormat::Kind::kJpeg:
        type = wxBITMAP_TYPE_JPEG;
        break;
    case IconFormat::Kind::kNone:
        return false;
    }
    AddHandlers();
    wxLogNull quiet; // a damaged file is no icon, not an error to show
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    if (!image.LoadFile(stream, type, IconFormat::NearestFrame(bytes, kSide)) || !image.IsOk() ||
        image.GetWidth() <= 0 || image.GetHeight() <= 0 ||
        image.GetWidth() > IconFormat::kMaxSide || image.GetHeight() > IconFormat::kMaxSide ||
        Blank(image))
        return false;
    // Scaled to fit, keeping its proportions, then centred on a transparent square.
    if (!image.HasAlpha())
        image.InitAlpha();
    const int longer = std::max(image.GetWidth(), image.GetHeight());
    const int w = std::max(1, image.GetWidth() * kSide / longer);
    const int h = std::max(1, image.GetHeight() * kSide / longer);
    if (w != image.GetWidth() || h != image.GetHeight())
        image.Rescale(w, h, wxIMAGE_QUALITY_HIGH);
    if (w != kSide || h != kSide)
        image.Resize(wxSize(kSide, kSide), wxPoint((kSide - w) / 2, (kSide - h) / 2));
    bitmap = wxBitmap(image);
    return bitmap.IsOk();
}
