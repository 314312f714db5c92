#include "ui/AddChannelDlg.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>

CAddChannelDlg::CAddChannelDlg(wxWindow* parent, IPluginContainer* container,
                               std::function<bool(const std::wstring&)> isAddressUnique)
    : CRssDialog(parent, container, L"IDS_ADD_CHANNEL", L"添加频道"),
      isAddressUnique_(std::move(isAddressUnique)) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    AddEdit(sizer, 11325, L"IDS_PLS_ENTER_CHANNEL_NAME", L"请输入频道名称:", kName);
    AddEdit(sizer, 11327, L"IDS_CHANNEL_DESCRIPTION", L"频道描述与说明:", kDescription);
    AddEdit(sizer, 11328, L"IDS_PLS_ENTER_NEW_RSS_CHANEL_ADDR", L"请输入新的RSS频道地址:",
            kAddress);
    verify_ = new wxCheckBox(this, kVerify,
                             Text(L"IDS_VERIFY_VALIDITY_CHANNEL_ADDRESS", L"验证频道地址的有效性"));
    verify_->SetValue(true);
    sizer->Add(verify_, 0, wxALL, 8);
    Finish(sizer, kMessage);
    FindWindow(kName)->SetFocus();
}

RuleResult CAddChannelDlg::Check() {
    return DialogRules::AddChannel(Name(), Description(), Address(), verify_->GetValue(),
                                   isAddressUnique_);
}
