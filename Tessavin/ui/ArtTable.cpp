#include "ui/ArtTable.h"

#include "platform/ResourceModule.h"

#include <wx/artprov.h>
#include <wx/image.h>

wxBitmap ArtTable::Bitmap(unsigned iconId, int size) {
    const platform::ResourceModule* module = platform::ResourceModule::Active();
    const std::string art = module ? module->IconArt(iconId) : std::string();
    if (!art.empty()) {
        wxBitmap bitmap = wxArtProvider::GetBitmap(wxString::FromUTF8(art.c_str()), wxART_OTHER,
                                                   wxSize(size, size));
        if (bitmap.IsOk())
            return bitmap;
    }
    wxImage empty(size, size);
    empty.InitAlpha();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            empty.SetAlpha(x, y, 0);
    return wxBitmap(empty);
}
