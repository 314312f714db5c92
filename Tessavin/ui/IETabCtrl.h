#pragma once

#include <wx/notebook.h>

class CIEView;
class IPluginContainer;

// The reading pane's tab strip: one tab per page (image 0 a channel page, 1 a web page).
// The pages are its own page windows; the strip scrolls the current tab into view itself.
// Its gestures (a double click on a tab, the tab menu 11053 and that menu's commands) are
// the pane's to handle.
class CIETabCtrl : public wxNotebook {
public:
    static const int kId = 11525;
    static const int kCloseCurrentCommand = 11610;
    static const int kCloseAllCommand = 11611;
    enum Image { kChannelImage = 0, kWebImage = 1 };

    explicit CIETabCtrl(wxWindow* parent);

    // The page at a position, or null.
    CIEView* PageAt(size_t index) const;
    CIEView* CurrentView() const;
    // Shows the tab menu at a point of the strip, its texts from the host; its commands
    // come back to the strip as menu events.
    void ShowTabMenu(const wxPoint& point, IPluginContainer* container);
};
