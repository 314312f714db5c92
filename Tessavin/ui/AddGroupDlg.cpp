#include "ui/AddGroupDlg.h"

#include <wx/sizer.h>

CAddGroupDlg::CAddGroupDlg(wxWindow* parent, IPluginContainer* container)
    : CRssDialog(parent, container, L"IDS_ADD_CHANNEL_GROUP", L"添加频道组") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    AddEdit(sizer, 11325, L"IDS_PLS_ENTER_CHANNEL_GROUP_NAME", L"请输入频道组名称", kName);
    Finish(sizer, kMessage);
    FindWindow(kName)->SetFocus();
}
