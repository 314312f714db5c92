#include "ui/RenameDlg.h"

#include <wx/sizer.h>
#include <wx/textctrl.h>

CRenameDlg::CRenameDlg(wxWindow* parent, IPluginContainer* container, const std::wstring& current)
    : CRssDialog(parent, container, L"IDS_RENAME_NODE", L"重命名") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    wxTextCtrl* edit = AddEdit(sizer, 11312, L"IDS_PLS_ENTER_NEW_NAME", L"请输入新名称", kName);
    edit->ChangeValue(wxString(current.c_str()));
    Finish(sizer, kMessage);
    edit->SetFocus();
    edit->SelectAll();
}
