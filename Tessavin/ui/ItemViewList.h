#pragma once

#include <functional>
#include <wx/treectrl.h>

class IPluginContainer;

// The entries above the channel tree that open the views across channels: "Unread" and
// "Flagged" (in the host's language). A click or Enter on an entry opens its view.
class CItemViewList : public wxTreeCtrl {
public:
    enum Entry { kUnread = 0, kFlagged = 1 };

    CItemViewList(wxWindow* parent, IPluginContainer* container);

    // The entry's texts again, in the host's language.
    void ApplyTexts(IPluginContainer* container);
    wxTreeItemId ItemOf(Entry entry) const { return items_[entry]; }
    // Opens the view of an entry (set by the frame).
    std::function<void(Entry)> openView;

private:
    void Open(const wxTreeItemId& item);

    wxTreeItemId items_[2];
};
