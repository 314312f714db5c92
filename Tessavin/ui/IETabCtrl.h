#pragma once

#include <wx/notebook.h>

class CIEFrame;
class CIEView;

// The reading pane's tab strip: one tab per page (image 0 a channel page, 1 a web page),
// with the tab menu 11053 and a double click that closes the current page. The pages are
// its own page windows. The strip scrolls the current tab into view itself.
class CIETabCtrl : public wxNotebook {
public:
    static const int kId = 11525;
    static const int kCloseCurrentCommand = 11610;
    static const int kCloseAllCommand = 11611;
    enum Image { kChannelImage = 0, kWebImage = 1 };

    CIETabCtrl(CIEFrame* frame, wxWindow* parent);

    CIEView* PageAt(size_t index) const;
    // Every page's tab index is its tab's position again.
    void RenumberPages();
    void CloseCurrentPage();
    void CloseAllPages();
    // The tab menu at a point of the strip, for the tab under it.
    void ShowTabMenu(const wxPoint& point);

private:
    // Removes the current tab and its page; false when there is none to remove.
    bool RemoveCurrent();

    CIEFrame* frame_;
};
