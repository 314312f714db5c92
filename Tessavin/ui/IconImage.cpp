#include "ui/IconImage.h"

#include "engine/IconFormat.h"

#include <algorithm>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

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
        image.GetWidth() > IconFormat::kMaxSide || image.GetHeight() > IconFormat::kMaxSide)
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
