#include "ui/ItemViewList.h"

#include "host/HostServices.h"
#include "ui/ArtTable.h"

#include <wx/imaglist.h>

namespace {

const wchar_t* const kKeys[] = {L"IDS_VIEW_UNREAD", L"IDS_VIEW_FLAGGED"};
const wchar_t* const kFallbacks[] = {L"Unread", L"Flagged"};

} // namespace

CItemViewList::CItemViewList(wxWindow* parent, IPluginContainer* container)
    : wxTreeCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxTR_HIDE_ROOT | wxTR_NO_LINES | wxTR_SINGLE | wxTR_FULL_ROW_HIGHLIGHT |
                     wxTR_NO_BUTTONS | wxBORDER_NONE) {
    auto* images = new wxImageList(16, 16, true, 2);
    // A new document for the unread items, a bookmark for the flagged ones.
    for (unsigned icon : {11172u, 11173u})
        images->Add(ArtTable::Bitmap(icon));
    AssignImageList(images);
    const wxTreeItemId root = AddRoot(wxEmptyString);
    for (int entry : {kUnread, kFlagged})
        items_[entry] = AppendItem(root, wxEmptyString, entry);
    ApplyTexts(container);
    // Two rows high, as the tree's rows are (a row: the text and eight pixels).
    const int row = std::max(GetCharHeight(), 16) + 8;
    SetMinSize(wxSize(-1, 2 * row + 6));
    Bind(wxEVT_TREE_ITEM_ACTIVATED, [this](wxTreeEvent& event) { Open(event.GetItem()); });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        int flags = 0;
        const wxTreeItemId item = HitTest(event.GetPosition(), flags);
        event.Skip();
        if (item.IsOk())
            CallAfter([this, item] { Open(item); });
    });
}

void CItemViewList::ApplyTexts(IPluginContainer* container) {
    for (int entry : {kUnread, kFlagged}) {
        std::wstring text = GetLocaleText(kKeys[entry], kModuleTextsName, container);
        SetItemText(items_[entry], wxString((text.empty() ? kFallbacks[entry] : text).c_str()));
    }
}

void CItemViewList::Open(const wxTreeItemId& item) {
    // The entries act as buttons: none stays selected once its view is open.
    UnselectAll();
    for (int entry : {kUnread, kFlagged})
        if (item == items_[entry] && openView)
            openView(static_cast<Entry>(entry));
}
