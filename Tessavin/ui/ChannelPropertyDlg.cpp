#include "ui/ChannelPropertyDlg.h"

#include "catalogue/Channel.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

CChannelPropertyDlg::CChannelPropertyDlg(wxWindow* parent, IPluginContainer* container,
                                         const CChannel& channel,
                                         std::function<bool(const std::wstring&)> isAddressUnique)
    : CRssDialog(parent, container, L"IDS_CHANNEL_PROPERTY", L"频道属性"),
      openedUrl_(channel.GetUrl()), isAddressUnique_(std::move(isAddressUnique)) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* basic =
        new wxStaticBoxSizer(wxVERTICAL, this, Text(L"IDS_BASE_INFORMATION", L"基本信息"));
    AddEdit(basic, 11313, L"IDS_CHANNEL_NAME", L"频道名称", kName);
    AddEdit(basic, 11314, L"IDS_CHANNEL_DESCRIPTION", L"频道描述与说明", kDescription);
    AddEdit(basic, 11315, L"IDS_RSS_CHNNEL_URL_ADDRESS", L"RSS频道URL地址", kAddress);
    basic->Add(
        new wxButton(this, kCheck, Text(L"IDS_CHECK_VALID_CHANNEL_SOURCE", L"检查频道源正确性")), 0,
        wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    sizer->Add(basic, 0, wxEXPAND | wxALL, 8);

    auto* update = new wxStaticBoxSizer(wxVERTICAL, this, Text(L"IDS_UPDATE_CHANNEL", L"频道更新"));
    auto* grid = new wxFlexGridSizer(3, wxSize(8, 6));
    grid->AddGrowableCol(1);
    auto row = [&](int labelId, const wchar_t* key, const wchar_t* fallback, int editId, long style,
                   const wxString& value, const wxString& unit) {
        grid->Add(new wxStaticText(this, labelId, Text(key, fallback)), 0, wxALIGN_CENTER_VERTICAL);
        auto* edit = new wxTextCtrl(this, editId, value, wxDefaultPosition, wxDefaultSize, style);
        if (!(style & wxTE_READONLY))
            edit->SetValidator(wxTextValidator(wxFILTER_DIGITS));
        grid->Add(edit, 1, wxEXPAND);
        grid->Add(new wxStaticText(this, wxID_ANY, unit), 0, wxALIGN_CENTER_VERTICAL);
    };
    row(11318, L"IDS_MAX_SAVE_MSG", L"最大保存信息条数", kMaxItems, 0,
        wxString::Format("%u", channel.GetMaxItems()), wxEmptyString);
    row(11319, L"IDS_INTERVAL_UPDATE", L"频道更新间隔", kInterval, 0,
        wxString::Format("%u", channel.GetInterval()), Text(L"IDS_MINUTE", L"分钟"));
    row(11320, L"IDS_UNREAD_MSG", L"未阅读信息", kUnread, wxTE_READONLY,
        wxString::Format("%u", channel.GetUnreadCount()), wxEmptyString);
    row(11321, L"IDS_ALL_MSG", L"所有信息", kTotal, wxTE_READONLY,
        wxString::Format("%u", channel.GetTotalCount()), wxEmptyString);
    grid->Add(new wxStaticText(this, 11323, Text(L"IDS_LATEST_UPDATE_TIME", L"最近更新时间")), 0,
              wxALIGN_CENTER_VERTICAL);
    grid->Add(new wxStaticText(this, kLastUpdate, wxString(channel.GetLastUpdated().c_str())), 0,
              wxALIGN_CENTER_VERTICAL);
    grid->AddSpacer(0);
    update->Add(grid, 0, wxEXPAND | wxALL, 8);
    sizer->Add(update, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    Finish(sizer, kMessage);
    SetValue(kName, wxString(channel.GetName().c_str()));
    SetValue(kDescription, wxString(channel.GetDescription().c_str()));
    SetValue(kAddress, wxString(channel.GetUrl().c_str()));
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { CheckAddress(); }, kCheck);
    FindWindow(kName)->SetFocus();
}

ChannelProperties CChannelPropertyDlg::Values() const {
    ChannelProperties values;
    values.name = Value(kName).ToStdWstring();
    values.description = Value(kDescription).ToStdWstring();
    values.url = Value(kAddress).ToStdWstring();
    values.maxItemsText = Value(kMaxItems).ToStdWstring();
    values.intervalText = Value(kInterval).ToStdWstring();
    return values;
}

void CChannelPropertyDlg::CheckAddress() {
    const bool valid = DialogRules::IsHttpUrl(Value(kAddress).ToStdWstring());
    ShowMessage(valid ? Text(L"IDS_VALID_ADDRESS", L"IDS_VALID_ADDRESS")
                      : Text(L"IDS_CHANNEL_ADDRESS_INVALID", L"IDS_CHANNEL_ADDRESS_INVALID"));
}

RuleResult CChannelPropertyDlg::Check() {
    return DialogRules::Properties(Values(), openedUrl_, isAddressUnique_);
}
