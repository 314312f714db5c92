#include "ui/IEFrame.h"

#include "catalogue/Channel.h"
#include "catalogue/ChannelFiles.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "host/HostServices.h"
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "platform/ResourceModule.h"
#include "ui/ArtTable.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/ReaderWebContext.h"

#include <algorithm>
#include <cwctype>
#include <wx/combobox.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/time.h>
#include <wx/toolbar.h>
#include <wx/webview.h>

namespace {

struct NavKey {
    int command;
    const wchar_t* key;
};
const NavKey kNavKeys[] = {{CIEFrame::kNewPage, L"IDS_NEW_PAGE"},
                           {CIEFrame::kBack, L"IDS_GO_BACK"},
                           {CIEFrame::kForward, L"IDS_GO_FORWARD"},
                           {CIEFrame::kRefresh, L"IDS_GO_REFRESH"},
                           {CIEFrame::kStop, L"IDS_GO_STOP"}};

bool IsWebAddress(const std::wstring& address) {
    std::wstring head = address.substr(0, 8);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return head.rfind(L"http://", 0) == 0 || head.rfind(L"https://", 0) == 0;
}

} // namespace

const wchar_t* const CIEFrame::kBlank = L"about:blank";

CIEFrame::CIEFrame(wxWindow* parent, IPluginContainer* container)
    : wxPanel(parent, wxID_ANY), container_(container) {
    navToolbar_ = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    navToolbar_->SetToolBitmapSize(wxSize(16, 16));
    const platform::ResourceModule* module = platform::ResourceModule::Active();
    for (const auto& button :
         module ? module->Toolbar(11051) : std::vector<platform::ResourceModule::Item>()) {
        navToolbar_->AddTool(static_cast<int>(button.command), wxEmptyString,
                             ArtTable::Bitmap(button.icon));
    }
    for (const NavKey& tool : kNavKeys)
        navToolbar_->SetToolShortHelp(
            tool.command, wxString(GetLocaleText(tool.key, kModuleTextsName, container_).c_str()));
    navToolbar_->Realize();
    addressBox_ = new wxComboBox(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(200, -1),
                                 0, nullptr, wxCB_DROPDOWN | wxTE_PROCESS_ENTER);
    tabs_ = new CIETabCtrl(this, this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(navToolbar_, 0, wxEXPAND);
    sizer->Add(addressBox_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 2);
    sizer->Add(tabs_, 1, wxEXPAND);
    SetSizer(sizer);

    navToolbar_->Bind(wxEVT_TOOL, [this](wxCommandEvent& event) { RunCommand(event.GetId()); });
    addressBox_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        OnAddressEntered(addressBox_->GetValue().ToStdWstring());
    });
    addressBox_->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent& event) {
        OnAddressChosen(event.GetString().ToStdWstring());
    });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent&) { RunCommand(kNewPage); });
    ReaderWebContext::SetDownloadListener([this](const std::wstring& address) {
        CallAfter([this, address] { ShowDownloadRefused(address); });
    });
    if (NewPage(kBlank, kBlank, nullptr) == 0)
        LogPrintf(L"Failed to create ie view");
}

CIEFrame::~CIEFrame() {
    ReaderWebContext::SetDownloadListener(nullptr);
}

void CIEFrame::ShowDownloadRefused(const std::wstring& address) {
    const long long now = wxGetLocalTimeMillis().GetValue();
    // A page that keeps starting downloads is told about once in a while, and never while
    // the reader has the last message in front of them.
    if (downloadShowing_ || (downloadShownAt_ >= 0 && now - downloadShownAt_ < 5000))
        return;
    downloadShownAt_ = now;
    downloadShowing_ = true;
    ShowMessageBox(container_,
                   platform::FormatW(
                       GetLocaleText(L"IDS_DOWNLOAD_REFUSED", kModuleTextsName, container_).c_str(),
                       address.c_str()),
                   GetLocaleText(L"IDS_TEXT_PROMPT", kModuleTextsName, container_), kMbIconError);
    downloadShowing_ = false;
}

std::wstring CIEFrame::TabTitle(const std::wstring& text) {
    if (text.size() <= static_cast<size_t>(kTitleChars))
        return text;
    return text.substr(0, kTitleChars) + L"...";
}

std::wstring CIEFrame::PagePath(const CChannel* channel) const {
    return ChannelFiles(dataFolder_, *channel).Page();
}

void CIEFrame::ShowPageLimit() {
    if (callingPage_ && limitShownInBurst_)
        return; // a page's burst of calls shows the limit once
    limitShownInBurst_ = callingPage_ != nullptr;
    ShowMessageBox(container_,
                   GetLocaleText(L"IDS_NEW_IE_WINDOW_OPEN_TO_THE_LARGEST_NUMBER_OF_RESTRIC",
                                 kModuleTextsName, container_),
                   GetLocaleText(L"IDS_TEXT_PROMPT", kModuleTextsName, container_), kMbIconError);
}

bool CIEFrame::InsertPage(CIEView* view, size_t position, const std::wstring& title) {
    // Checked again where the page goes in: nothing between the first check and here may
    // have added a page, but the limit must hold whatever did.
    if (tabs_->GetPageCount() >= static_cast<size_t>(kMaxPages)) {
        view->Destroy();
        ShowPageLimit();
        return false;
    }
    tabs_->InsertPage(position, view, wxString(TabTitle(title).c_str()), false,
                      view->IsChannelView() ? CIETabCtrl::kChannelImage : CIETabCtrl::kWebImage);
    tabs_->RenumberPages();
    tabs_->ChangeSelection(position);
    SelectPage(static_cast<int>(position));
    return true;
}

CIEView* CIEFrame::CreateView(bool channelView) {
    auto* view = new CIEView(this, tabs_, channelView);
    if (view->WebView())
        return view;
    view->Destroy(); // no browser: the page is discarded before it is set up
    return nullptr;
}

int CIEFrame::NewPage(const std::wstring& title, const std::wstring& address, CChannel* channel) {
    if (tabs_->GetPageCount() >= static_cast<size_t>(kMaxPages)) {
        ShowPageLimit();
        return 1;
    }
    CIEView* view = CreateView(channel != nullptr);
    if (!view) {
        LogPrintf(L"Failed to create IE view");
        return 0;
    }
    view->SetChannel(channel);
    view->SetAddress(channel ? kBlank : address);
    const int selected = tabs_->GetSelection();
    const size_t position = selected == wxNOT_FOUND ? 0 : static_cast<size_t>(selected) + 1;
    if (!InsertPage(view, position, title))
        return 1;
    if (title != kBlank)
        view->Navigate(address);
    return 1;
}

void CIEFrame::SelectPage(int index) {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i) {
        CIEView* page = tabs_->PageAt(i);
        if (!page) {
            LogPrintf(L"Invalidate pointer");
            return;
        }
        if (static_cast<int>(i) != index)
            continue;
        if (tabs_->GetSelection() != index)
            tabs_->ChangeSelection(i);
        currentPage_ = page;
        addressBox_->SetValue(wxString(page->Channel() ? kBlank : page->Address().c_str()));
    }
}

void CIEFrame::SetPageTitle(int index, const std::wstring& text) {
    if (index >= 0 && static_cast<size_t>(index) < tabs_->GetPageCount())
        tabs_->SetPageText(static_cast<size_t>(index), wxString(TabTitle(text).c_str()));
}

void CIEFrame::ShowChannelPage(CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer of Class CChannel");
        return;
    }
    if (std::find(openChannels_.begin(), openChannels_.end(), channel) != openChannels_.end()) {
        SelectPageOfChannel(channel);
        return;
    }
    const std::wstring path = PagePath(channel);
    if (currentPage_ && currentPage_->Address() == kBlank && !currentPage_->Channel() &&
        !currentPage_->IsChannelView()) {
        // An empty page gives its place to the channel's page (a channel view of its own).
        const int position = currentPage_->TabIndex();
        CIEView* view = CreateView(true);
        if (!view) {
            LogPrintf(L"Failed to create ie view");
            return;
        }
        tabs_->DeletePage(static_cast<size_t>(position));
        currentPage_ = nullptr;
        view->SetChannel(channel);
        view->SetAddress(kBlank);
        if (!InsertPage(view, static_cast<size_t>(position), channel->GetName()))
            return;
        view->Navigate(path);
        openChannels_.push_back(channel);
        return;
    }
    const size_t before = tabs_->GetPageCount();
    if (NewPage(channel->GetName(), path, channel) == 0)
        LogPrintf(L"Failed to create ie view");
    else if (tabs_->GetPageCount() > before)
        openChannels_.push_back(channel);
}

void CIEFrame::ForgetChannel(CChannel* channel) {
    openChannels_.erase(std::remove(openChannels_.begin(), openChannels_.end(), channel),
                        openChannels_.end());
}

void CIEFrame::SelectPageOfChannel(CChannel* channel) {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (tabs_->PageAt(i) && tabs_->PageAt(i)->Channel() == channel) {
            SelectPage(static_cast<int>(i));
            return;
        }
}

void CIEFrame::ReloadPageOfChannel(CChannel* channel) {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (CIEView* page = tabs_->PageAt(i); page && page->Channel() == channel)
            page->ReloadKeepingScroll();
}

void CIEFrame::ClosePageOfChannel(CChannel* channel) {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (tabs_->PageAt(i) && tabs_->PageAt(i)->Channel() == channel) {
            SelectPage(static_cast<int>(i));
            tabs_->CloseCurrentPage();
            return;
        }
}

void CIEFrame::RunCommand(int command) {
    if (command == kNewPage) {
        if (NewPage(kBlank, kBlank, nullptr) == 0)
            LogPrintf(L"Failed to create ie view");
        return;
    }
    if (!currentPage_)
        return;
    wxWebView* web = currentPage_->WebView();
    switch (command) {
    case kBack:
        if (web->CanGoBack())
            web->GoBack();
        break;
    case kForward:
        if (web->CanGoForward())
            web->GoForward();
        break;
    case kRefresh:
        currentPage_->ReloadKeepingScroll();
        break;
    case kStop: {
        const wxString shown = addressBox_->GetValue();
        if (shown != kBlank && !shown.empty())
            web->Stop();
        break;
    }
    default:
        break;
    }
}

void CIEFrame::OnAddressEntered(const std::wstring& text) {
    if (text.empty() || !currentPage_)
        return;
    if (currentPage_->Channel()) {
        NewPage(text, text, nullptr);
    } else {
        currentPage_->Navigate(text);
        currentPage_->SetAddress(text);
    }
    const wxString entry(text.c_str());
    if (addressBox_->FindString(entry, true) == wxNOT_FOUND &&
        !(addressBox_->IsListEmpty() && text == kBlank))
        addressBox_->Append(entry);
}

void CIEFrame::OnAddressChosen(const std::wstring& text) {
    if (currentPage_ && !text.empty())
        currentPage_->Navigate(text);
}

bool CIEFrame::ShowsOwnChannelPage(const CIEView* view) const {
    if (!view || !view->Channel() || dataFolder_.empty())
        return false;
    const std::wstring shown = view->ShownFile();
    return !shown.empty() && wxFileName(shown).SameAs(wxFileName(PagePath(view->Channel())));
}

void CIEFrame::OnTitleChange(CIEView* view, const std::wstring& title) {
    // A web page without a title of its own shows its address.
    const std::wstring shown = view->Channel() ? view->Channel()->GetName()
                               : title.empty() ? view->WebView()->GetCurrentURL().ToStdWstring()
                                               : title;
    if (!shown.empty())
        SetPageTitle(view->TabIndex(), shown);
}

std::wstring CIEFrame::PageLanguage() const {
    // A Lang value set by hand wins; the default follows the host's own language.
    const std::wstring lang = CConfig().ReadLang();
    if (lang != L"0")
        return lang;
    const std::wstring host = GetLocaleText(L"IDS_PAGE_LANGUAGE", kModuleTextsName, container_);
    return host.empty() ? lang : host;
}

void CIEFrame::OnDocumentComplete(CIEView* view, const std::wstring& address) {
    if (!view->Channel()) {
        view->SetAddress(address);
        // A page without a title of its own is named by its address.
        if (view->WebView()->GetCurrentTitle().empty() && !address.empty())
            SetPageTitle(view->TabIndex(), address);
    }
    if (view == currentPage_)
        addressBox_->SetValue(wxString(view->Channel() ? kBlank : address.c_str()));
}

void CIEFrame::OnNewWindow(CIEView* view, const std::wstring& address) {
    // A channel page's link asked for in a new window opens in a web page, as any of its
    // web links does.
    if (view->IsChannelView()) {
        OpenPage(TabTitle(address), address);
        return;
    }
    const size_t before = tabs_->GetPageCount();
    if (NewPage(kBlank, kBlank, nullptr) == 0) {
        LogPrintf(L"Failed to create ie view");
        return;
    }
    if (tabs_->GetPageCount() > before && IsWebAddress(address)) {
        currentPage_->Navigate(address);
        currentPage_->SetAddress(address);
    }
}

bool CIEFrame::OnScriptMessage(CIEView* view, const PageCall& call) {
    // Only a channel's own page may change that channel's items, and only the items it
    // shows (a page older than the files may number them otherwise).
    if (!ShowsOwnChannelPage(view))
        return false;
    callingPage_ = view;
    const bool applied =
        ItemAction::OnNavigate(platform::Utf8ToWide(call.call), *view->Channel(), dataFolder_,
                               treeTarget_, this, call.namesItem ? &call.itemLink : nullptr);
    callingPage_ = nullptr;
    return applied;
}

void CIEFrame::OnPageCallsDone(CIEView*) {
    limitShownInBurst_ = false;
}

int CIEFrame::OpenPage(const std::wstring& title, const std::wstring& address) {
    if (!IsWebAddress(address))
        return 1; // script and local addresses are never opened
    return NewPage(title, address, nullptr);
}
