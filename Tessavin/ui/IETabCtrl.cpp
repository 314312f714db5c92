#include "ui/IETabCtrl.h"

#include "config/LogFile.h"
#include "ui/ArtTable.h"
#include "ui/IEFrame.h"
#include "ui/IEView.h"
#include "ui/ResourceMenu.h"

#include <memory>
#include <wx/imaglist.h>
#include <wx/menu.h>

CIETabCtrl::CIETabCtrl(CIEFrame* frame, wxWindow* parent)
    : wxNotebook(parent, kId, wxDefaultPosition, wxDefaultSize, wxNB_TOP), frame_(frame) {
    auto* images = new wxImageList(16, 16, true, 2);
    images->Add(ArtTable::Bitmap(11050));
    images->Add(ArtTable::Bitmap(11170));
    AssignImageList(images);
    Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& event) {
        if (event.GetEventObject() == this && event.GetSelection() != wxNOT_FOUND)
            frame_->SelectPage(event.GetSelection());
        event.Skip();
    });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) {
        long flags = 0;
        if (HitTest(event.GetPosition(), &flags) != wxNOT_FOUND)
            CloseCurrentPage();
        else
            event.Skip();
    });
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) { ShowTabMenu(event.GetPosition()); });
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
        if (event.GetId() == kCloseCurrentCommand)
            CloseCurrentPage();
        else if (event.GetId() == kCloseAllCommand)
            CloseAllPages();
        else
            event.Skip();
    });
}

CIEView* CIETabCtrl::PageAt(size_t index) const {
    return index < GetPageCount() ? dynamic_cast<CIEView*>(GetPage(index)) : nullptr;
}

void CIETabCtrl::RenumberPages() {
    for (size_t i = 0; i < GetPageCount(); ++i)
        if (CIEView* page = PageAt(i))
            page->SetTabIndex(static_cast<int>(i));
}

bool CIETabCtrl::RemoveCurrent() {
    const int current = GetSelection();
    CIEView* page = current == wxNOT_FOUND ? nullptr : PageAt(static_cast<size_t>(current));
    if (!page)
        return false;
    if (page->Channel()) {
        frame_->ForgetChannel(page->Channel());
        page->SetChannel(nullptr);
    }
    if (!DeletePage(static_cast<size_t>(current))) {
        LogPrintf(L"Failed to delete CTabCtrl item");
        return false;
    }
    RenumberPages();
    return true;
}

void CIETabCtrl::CloseCurrentPage() {
    const int old = GetSelection();
    if (!RemoveCurrent())
        return;
    int next = old > 0 ? old - 1 : 0;
    if (GetPageCount() == 0) {
        if (frame_->NewPage(CIEFrame::kBlank, CIEFrame::kBlank, nullptr) == 0)
            LogPrintf(L"Failed to create ie view");
        next = 0;
    }
    if (GetPageCount() > 0) {
        ChangeSelection(static_cast<size_t>(next));
        frame_->SelectPage(next);
    }
}

void CIETabCtrl::CloseAllPages() {
    for (size_t n = GetPageCount(); n > 0; --n) {
        const int old = GetSelection();
        if (!RemoveCurrent())
            break;
        if (GetPageCount() > 0)
            ChangeSelection(static_cast<size_t>(old > 0 ? old - 1 : 0));
    }
    if (frame_->NewPage(CIEFrame::kBlank, CIEFrame::kBlank, nullptr) == 0)
        LogPrintf(L"Failed to create ie view");
    if (GetPageCount() > 0) {
        ChangeSelection(0);
        frame_->SelectPage(0);
    }
}

void CIETabCtrl::ShowTabMenu(const wxPoint& point) {
    const int tab = HitTest(point);
    if (tab != wxNOT_FOUND) {
        ChangeSelection(static_cast<size_t>(tab));
        frame_->SelectPage(tab);
    }
    std::unique_ptr<wxMenu> menu(ResourceMenu::Load(11053));
    if (menu)
        ResourceMenu::ApplyMenuTexts(menu.get(), "TabIEMenu", frame_->Container());
    if (!menu || !PopupMenu(menu.get(), point + wxPoint(1, 1)))
        LogPrintf(L"Failed to show table context menu");
}
