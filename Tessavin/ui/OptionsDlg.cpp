#include "ui/OptionsDlg.h"

#include "config/Config.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

COptionsDlg::COptionsDlg(wxWindow* parent, IPluginContainer* container)
    : CRssDialog(parent, container, L"IDS_SYSTEM_CONFIGURATION", L"系统配置") {
    CConfig config;
    updateState_ = config.ReadUpdateState() != 0;
    proxyState_ = config.ReadProxyState() != 0;
    allowHttps_ = config.ReadAllowHttps() == 1;
    notifyNewItems_ = config.ReadNotifyNewItems() != 0;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    // label | edit | note, one row each.
    auto grid = [this](wxStaticBoxSizer* box) {
        auto* g = new wxFlexGridSizer(3, wxSize(8, 6));
        g->AddGrowableCol(1);
        box->Add(g, 0, wxEXPAND | wxALL, 8);
        return g;
    };
    auto row = [this](wxFlexGridSizer* g, int labelId, const wchar_t* key, const wchar_t* fallback,
                      int editId, const wxString& value, long style, bool digits,
                      const wxString& note) {
        g->Add(new wxStaticText(this, labelId, Text(key, fallback)), 0, wxALIGN_CENTER_VERTICAL);
        auto* edit =
            new wxTextCtrl(this, editId, value, wxDefaultPosition, wxSize(FromDIP(180), -1), style);
        if (digits)
            edit->SetValidator(wxTextValidator(wxFILTER_DIGITS));
        g->Add(edit, 1, wxEXPAND);
        g->Add(new wxStaticText(this, wxID_ANY, note), 0, wxALIGN_CENTER_VERTICAL);
    };
    auto* update =
        new wxStaticBoxSizer(wxVERTICAL, this, Text(L"IDS_OPTIONS_CHANNEL_UPDATE", L"频道更新"));
    auto* autoBox =
        new wxCheckBox(this, kAutoUpdate, Text(L"IDS_OPTIONS_AUTO_UPDATE", L"允许自动更新RSS频道"));
    autoBox->SetValue(updateState_);
    update->Add(autoBox, 0, wxLEFT | wxRIGHT | wxTOP, 8);
    auto* noticeBox = new wxCheckBox(this, kNotifyNewItems,
                                     Text(L"IDS_OPTIONS_NOTIFY_NEW_ITEMS", L"更新后通知新文章"));
    noticeBox->SetValue(notifyNewItems_);
    update->Add(noticeBox, 0, wxLEFT | wxRIGHT | wxTOP, 8);
    row(grid(update), 11330, L"IDS_OPTIONS_THREADS", L"工作线程数：", kThreads,
        wxString::Format("%d", config.ReadThreadNum()), 0, true,
        Text(L"IDS_OPTIONS_THREADS_RANGE", L"(1-30)个"));
    sizer->Add(update, 0, wxEXPAND | wxALL, 8);

    auto* proxy = new wxStaticBoxSizer(wxVERTICAL, this, Text(L"IDS_OPTIONS_PROXY", L"代理设置"));
    auto* proxyBox = new wxCheckBox(this, kUseProxy, Text(L"IDS_OPTIONS_USE_PROXY", L"启用代理"));
    proxyBox->SetValue(proxyState_);
    proxy->Add(proxyBox, 0, wxLEFT | wxRIGHT | wxTOP, 8);
    wxFlexGridSizer* p = grid(proxy);
    row(p, 11332, L"IDS_OPTIONS_PROXY_ADDRESS", L"代理服务器地址：", kProxyAddress,
        wxString(config.ReadProxyAddress().c_str()), 0, false, wxEmptyString);
    row(p, 11333, L"IDS_OPTIONS_PROXY_PORT", L"代理服务器端口：", kProxyPort,
        wxString::Format("%d", config.ReadProxyPort()), 0, true, wxEmptyString);
    row(p, 11334, L"IDS_OPTIONS_USER_NAME", L"登录用户名称：", kUserName,
        wxString(config.ReadUserName().c_str()), 0, false, wxEmptyString);
    row(p, 11335, L"IDS_OPTIONS_PASSWORD", L"登录用户密码：", kPassword,
        wxString(config.ReadUserPassword().c_str()), wxTE_PASSWORD, false, wxEmptyString);
    sizer->Add(proxy, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

    auto* connection =
        new wxStaticBoxSizer(wxVERTICAL, this, Text(L"IDS_OPTIONS_CONNECTION", L"连接设置"));
    wxFlexGridSizer* c = grid(connection);
    row(c, 11342, L"IDS_OPTIONS_ATTEMPTS", L"最大连接次数：", kAttempts,
        wxString::Format("%d", config.ReadLinkNum()), 0, true,
        Text(L"IDS_OPTIONS_ATTEMPTS_RANGE", L"(1-5)次"));
    row(c, 11343, L"IDS_OPTIONS_TIMEOUT", L"最大超时时间：", kTimeout,
        wxString::Format("%d", config.ReadLinkTime()), 0, true,
        Text(L"IDS_OPTIONS_SECONDS", L"秒 (10-30)"));
    auto* httpsBox =
        new wxCheckBox(this, kAllowHttps, Text(L"IDS_OPTIONS_ALLOW_HTTPS", L"允许 https 频道"));
    httpsBox->SetValue(allowHttps_);
    connection->Add(httpsBox, 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);
    sizer->Add(connection, 0, wxEXPAND | wxALL, 8);
    Finish(sizer, kMessage);
    EnableProxyFields();
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { ToggleProxy(); }, kUseProxy);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { ToggleAutoUpdate(); }, kAutoUpdate);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { ToggleAllowHttps(); }, kAllowHttps);
    Bind(
        wxEVT_CHECKBOX, [this](wxCommandEvent&) { ToggleNotifyNewItems(); }, kNotifyNewItems);
}

void COptionsDlg::EnableProxyFields() {
    for (int id : {kProxyAddress, kProxyPort, kUserName, kPassword})
        if (wxWindow* field = FindWindow(id))
            field->Enable(proxyState_);
}

void COptionsDlg::ToggleProxy() {
    proxyState_ = !proxyState_;
    static_cast<wxCheckBox*>(FindWindow(kUseProxy))->SetValue(proxyState_);
    EnableProxyFields();
}

void COptionsDlg::ToggleAutoUpdate() {
    updateState_ = !updateState_;
    static_cast<wxCheckBox*>(FindWindow(kAutoUpdate))->SetValue(updateState_);
}

void COptionsDlg::ToggleAllowHttps() {
    allowHttps_ = !allowHttps_;
    static_cast<wxCheckBox*>(FindWindow(kAllowHttps))->SetValue(allowHttps_);
}

void COptionsDlg::ToggleNotifyNewItems() {
    notifyNewItems_ = !notifyNewItems_;
    static_cast<wxCheckBox*>(FindWindow(kNotifyNewItems))->SetValue(notifyNewItems_);
}

OptionsValues COptionsDlg::Values() const {
    OptionsValues values;
    values.threadText = Value(kThreads).ToStdWstring();
    values.linkTimeText = Value(kTimeout).ToStdWstring();
    values.linkNumText = Value(kAttempts).ToStdWstring();
    values.portText = Value(kProxyPort).ToStdWstring();
    values.proxyAddress = Value(kProxyAddress).ToStdWstring();
    values.proxyState = proxyState_;
    values.userName = UserName();
    values.password = Password();
    return values;
}

wxString COptionsDlg::Commit() {
    if (!Write())
        return Text(L"IDS_OPTIONS_NOT_SAVED", L"无法保存设置（磁盘是否已满或只读？）。");
    saved_ = true;
    return wxString();
}

bool COptionsDlg::Save() const {
    return saved_ || Write();
}

bool COptionsDlg::Write() const {
    const OptionsValues v = Values();
    auto number = [](const std::wstring& text) {
        return static_cast<int>(DialogRules::Number(text));
    };
    // In the dialog's order; the first write that fails ends it.
    CConfig config;
    return config.WriteUpdateState(updateState_ ? 1 : 0) &&
           config.WriteThreadNum(number(v.threadText)) &&
           config.WriteProxyState(proxyState_ ? 1 : 0) &&
           config.WriteProxyAddress(v.proxyAddress) && config.WriteProxyPort(number(v.portText)) &&
           config.WriteUserName(v.userName) && config.WriteUserPassword(v.password) &&
           config.WriteLinkNum(number(v.linkNumText)) &&
           config.WriteLinkTime(number(v.linkTimeText)) &&
           config.WriteAllowHttps(allowHttps_ ? 1 : 0) &&
           config.WriteNotifyNewItems(notifyNewItems_ ? 1 : 0);
}
