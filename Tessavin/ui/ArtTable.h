#pragma once

#include <wx/bitmap.h>

// Icons by resource id, drawn from the system's icon theme: the active resource module's
// "icons.txt" names the theme icon for each id. An id without an icon gives an empty
// (transparent) bitmap of the size asked for.
class ArtTable {
public:
    static wxBitmap Bitmap(unsigned iconId, int size = 16);
};
