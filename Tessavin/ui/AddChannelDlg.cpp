#include "ui/AddChannelDlg.h"

#include "platform/CodePage.h"
#include "platform/Format.h"

#include <algorithm>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/utils.h>

CAddChannelDlg::CAddChannelDlg(wxWindow* parent, IPluginContainer* container,
                               std::function<bool(const std::wstring&)> isAddressUnique)
    : CRssDialog(parent, container, L"IDS_ADD_CHANNEL", L"添加频道"),
      isAddressUnique_(std::move(isAddressUnique)) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    AddEdit(sizer, 11325, L"IDS_PLS_ENTER_CHANNEL_NAME", L"请输入频道名称:", kName);
    AddEdit(sizer, 11327, L"IDS_CHANNEL_DESCRIPTION", L"频道描述与说明:", kDescription);
    AddEdit(sizer, 11328, L"IDS_PLS_ENTER_NEW_RSS_CHANEL_ADDR", L"请输入RSS频道地址或网站地址:",
            kAddress);
    // The feeds of a page, shown when it names several.
    feeds_ = new wxListBox(this, kFeeds, wxDefaultPosition, wxSize(-1, FromDIP(110)));
    feeds_->Hide();
    sizer->Add(feeds_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    verify_ = new wxCheckBox(this, kVerify,
                             Text(L"IDS_VERIFY_VALIDITY_CHANNEL_ADDRESS", L"验证频道地址的有效性"));
    verify_->SetValue(true);
    sizer->Add(verify_, 0, wxALL, 8);
    Finish(sizer, kMessage);
    FindWindow(kName)->SetFocus();
    // The address follows the feed chosen in the list.
    feeds_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
        const int line = feeds_->GetSelection();
        if (line >= 0 && static_cast<size_t>(line) < feedAddresses_.size())
            SetValue(kAddress, feedAddresses_[static_cast<size_t>(line)]);
    });
}

CAddChannelDlg::~CAddChannelDlg() {
    // A read still running ends within a second; what it would have said is dropped with the
    // window's pending calls.
    stop_.Stop();
    if (worker_.joinable())
        worker_.join();
    if (finding_)
        wxEndBusyCursor();
}

RuleResult CAddChannelDlg::Check() {
    // With the verify box the address must be one that can be read; reading it checks it.
    const RuleResult rule = DialogRules::AddChannel(Name(), Description(), Address(),
                                                    /*verify=*/false, isAddressUnique_);
    if (rule.ok && verify_->GetValue() && !DialogRules::IsHttpUrl(Address()))
        return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_INVALID", kAddress);
    return rule;
}

bool CAddChannelDlg::Accept() {
    if (finding_ || !CRssDialog::Accept())
        return false;
    const std::wstring address = Address();
    // An address that cannot be read is taken as typed (the verify box refused it already
    // when it is checked).
    if (!DialogRules::IsHttpUrl(address))
        return true;
    // A feed chosen from the list is taken; with the verify box, once it is read as a feed.
    const bool chosen =
        std::find(feedAddresses_.begin(), feedAddresses_.end(), address) != feedAddresses_.end();
    if (chosen && !verify_->GetValue())
        return true;
    StartFinding(address, chosen);
    return false;
}

void CAddChannelDlg::StartFinding(const std::wstring& address, bool mustBeFeed) {
    if (worker_.joinable())
        worker_.join(); // the last read has ended: its result was handled
    finding_ = true;
    ShowMessage(wxString());
    FindWindow(wxID_OK)->Disable();
    wxBeginBusyCursor();
    worker_ = std::thread([this, address, mustBeFeed] {
        const FeedFinder::Result result = FeedFinder(&stop_).Find(platform::WideToUtf8(address));
        CallAfter([this, address, mustBeFeed, result] { Found(address, mustBeFeed, result); });
    });
}

void CAddChannelDlg::Found(const std::wstring& address, bool mustBeFeed,
                           const FeedFinder::Result& result) {
    finding_ = false;
    wxEndBusyCursor();
    FindWindow(wxID_OK)->Enable();
    if (Address() != address)
        return; // the address was changed meanwhile: OK reads the new one
    using O = FeedFinder::Outcome;
    if (mustBeFeed && (result.outcome == O::kFeeds || result.outcome == O::kNoFeed)) {
        FindWindow(kAddress)->SetFocus();
        return ShowMessage(Text(L"IDS_NOT_A_FEED", L"该地址不是频道。"));
    }
    switch (result.outcome) {
    case O::kFeed:
        return Close();
    case O::kFeeds:
        if (result.feeds.size() == 1)
            return Take(result.feeds.front().url);
        return ShowFeeds(result.feeds);
    case O::kNoFeed:
        FindWindow(kAddress)->SetFocus();
        return ShowMessage(Text(L"IDS_NO_FEED_FOUND", L"此页面上没有找到频道。"));
    case O::kStopped:
        return;
    case O::kFailed:
        if (!verify_->GetValue() && !mustBeFeed)
            return Close(); // taken as typed
        FindWindow(kAddress)->SetFocus();
        return ShowMessage(wxString(
            platform::FormatW(Text(L"IDS_ADDRESS_NOT_READ", L"无法读取该地址（%s）。").wc_str(),
                              wxString::FromUTF8(result.failure.c_str()).wc_str())));
    }
}

void CAddChannelDlg::Take(const std::string& url) {
    // The address field shows the feed's address, which the channel takes.
    SetValue(kAddress, wxString::FromUTF8(url.c_str()));
    // The feed's address must pass the checks that a typed one does (unique, not too long),
    // and with the verify box be read as a feed itself.
    if (!CRssDialog::Accept())
        return;
    if (verify_->GetValue())
        return StartFinding(Address(), /*mustBeFeed=*/true);
    Close();
}

void CAddChannelDlg::Close() {
    accepted_ = true;
    if (IsModal())
        EndModal(wxID_OK);
}

void CAddChannelDlg::ShowFeeds(const std::vector<DiscoveredFeed>& feeds) {
    feeds_->Clear();
    feedAddresses_.clear();
    for (const DiscoveredFeed& feed : feeds) {
        const wxString url = wxString::FromUTF8(feed.url.c_str());
        const wxString title = wxString::FromUTF8(feed.title.c_str());
        feeds_->Append(title.empty() ? url : title + L"  \u2014  " + url);
        feedAddresses_.push_back(url.ToStdWstring());
    }
    feeds_->Show();
    feeds_->SetSelection(0);
    SetValue(kAddress, feeds_->IsEmpty() ? wxString() : wxString(feedAddresses_.front()));
    ShowMessage(Text(L"IDS_CHOOSE_FEED", L"此页面提供多个频道：请选择一个，然后按“确定”。"),
                /*refusal=*/false);
    feeds_->SetFocus();
}
