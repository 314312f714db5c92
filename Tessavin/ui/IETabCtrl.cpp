#include "ui/IETabCtrl.h"

#include "config/LogFile.h"
#include "ui/ArtTable.h"
#include "ui/IEView.h"
#include "ui/ResourceMenu.h"

#include <memory>
#include <wx/imaglist.h>
#include <wx/menu.h>

CIETabCtrl::CIETabCtrl(wxWindow* parent)
    : wxNotebook(parent, kId, wxDefaultPosition, wxDefaultSize, wxNB_TOP) {
    auto* images = new wxImageList(16, 16, true, 2);
    images->Add(ArtTable::Bitmap(11050));
    images->Add(ArtTable::Bitmap(11170));
    AssignImageList(images);
}

CIEView* CIETabCtrl::PageAt(size_t index) const {
    return index < GetPageCount() ? dynamic_cast<CIEView*>(GetPage(index)) : nullptr;
}

CIEView* CIETabCtrl::CurrentView() const {
    return dynamic_cast<CIEView*>(GetCurrentPage());
}

void CIETabCtrl::ShowTabMenu(const wxPoint& point, IPluginContainer* container) {
    std::unique_ptr<wxMenu> menu(ResourceMenu::Load(11053));
    if (menu)
        ResourceMenu::ApplyMenuTexts(menu.get(), "TabIEMenu", container);
    if (!menu || !PopupMenu(menu.get(), point + wxPoint(1, 1)))
        LogPrintf(L"Failed to show table context menu");
}
