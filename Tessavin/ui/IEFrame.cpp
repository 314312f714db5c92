#include "ui/IEFrame.h"

#include "catalogue/Channel.h"
#include "catalogue/ChannelFiles.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "engine/WebAddress.h"
#include "host/HostServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ResourceModule.h"
#include "reader/ViewPage.h"
#include "ui/ArtTable.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/ReaderWebContext.h"

#include <algorithm>
#include <cwctype>
#include <wx/combobox.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/srchctrl.h>
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
    return WebAddress::IsWebLink(platform::WideToUtf8(address));
}

} // namespace

const wchar_t* const CIEFrame::kBlank = L"about:blank";

CIEFrame::CIEFrame(wxWindow* parent, IPluginContainer* container)
    : wxPanel(parent, wxID_ANY), container_(container) {
    CreateNavToolBar();
    addressBox_ = new wxComboBox(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(200, -1),
                                 0, nullptr, wxCB_DROPDOWN | wxTE_PROCESS_ENTER);
    // The search across every channel, on the navigation toolbar's right.
    navToolbar_->AddStretchableSpace();
    searchBox_ = new wxSearchCtrl(navToolbar_, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxSize(220, -1), wxTE_PROCESS_ENTER);
    searchBox_->SetDescriptiveText(
        wxString(GetLocaleText(L"IDS_SEARCH_ITEMS", kModuleTextsName, container_).c_str()));
    navToolbar_->AddControl(searchBox_);
    navToolbar_->Realize();
    auto search = [this](wxCommandEvent&) {
        const std::wstring words = searchBox_->GetValue().ToStdWstring();
        if (onSearch && words.find_first_not_of(L" \t") != std::wstring::npos)
            onSearch(words);
    };
    searchBox_->Bind(wxEVT_TEXT_ENTER, search);
    searchBox_->Bind(wxEVT_SEARCHCTRL_SEARCH_BTN, search);
    tabs_ = new CIETabCtrl(this);
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
    BindTabs();
    ReaderWebContext::SetDownloadListener([this](const std::wstring& address) {
        CallAfter([this, address] { ShowDownloadRefused(address); });
    });
    if (NewPage(kBlank, kBlank, nullptr) == 0)
        LogPrintf(L"Failed to create ie view");
}

CIEFrame::~CIEFrame() {
    ReaderWebContext::SetDownloadListener(nullptr);
}

void CIEFrame::CreateNavToolBar() {
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
}

void CIEFrame::BindTabs() {
    tabs_->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& event) {
        if (event.GetEventObject() == tabs_ && event.GetSelection() != wxNOT_FOUND)
            SelectPage(event.GetSelection());
        event.Skip();
    });
    // A double click on a tab closes the current page.
    tabs_->Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) {
        if (TabAt(event.GetPosition()) != wxNOT_FOUND)
            CloseCurrentPage();
        else
            event.Skip();
    });
    // The tab menu, for the tab under the pointer.
    tabs_->Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) {
        const int tab = TabAt(event.GetPosition());
        if (tab != wxNOT_FOUND)
            SelectPage(tab);
        tabs_->ShowTabMenu(event.GetPosition(), container_);
    });
    tabs_->Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
        if (event.GetId() == CIETabCtrl::kCloseCurrentCommand)
            CloseCurrentPage();
        else if (event.GetId() == CIETabCtrl::kCloseAllCommand)
            CloseAllPages();
        else
            event.Skip();
    });
}

int CIEFrame::TabAt(const wxPoint& point) const {
    long flags = 0;
    return tabs_->HitTest(point, &flags);
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

CIEView* CIEFrame::CreateView(bool channelView, bool deferWebView) {
    auto* view = new CIEView(tabs_, channelView, deferWebView);
    if (!deferWebView && !view->WebView()) {
        view->Destroy(); // no browser: the page is discarded before it is set up
        return nullptr;
    }
    view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, [this, view](wxWebViewEvent& event) {
        OnTitleChange(view, event.GetString().ToStdWstring());
    });
    view->Bind(wxEVT_WEBVIEW_LOADED, [this, view](wxWebViewEvent& event) {
        OnDocumentComplete(view, event.GetURL().ToStdWstring());
    });
    view->Bind(EVT_IE_NEW_WINDOW,
               [this, view](CIEPageEvent& event) { OnNewWindow(view, event.text); });
    view->Bind(EVT_IE_PAGE_LANGUAGE, [this](CIEPageEvent& event) { event.text = PageLanguage(); });
    view->Bind(EVT_IE_PAGE_CALL, [this, view](CIEPageEvent& event) {
        event.applied = OnScriptMessage(view, *event.call);
    });
    // The queue is empty: the next burst of calls may show the page limit again.
    view->Bind(EVT_IE_PAGE_CALLS_DONE, [this](CIEPageEvent&) { limitShownInBurst_ = false; });
    return view;
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
    SelectPage(static_cast<int>(position));
    return true;
}

int CIEFrame::NewPage(const std::wstring& title, const std::wstring& address, CChannel* channel) {
    if (tabs_->GetPageCount() >= static_cast<size_t>(kMaxPages)) {
        ShowPageLimit();
        return 1;
    }
    // An empty page makes its web view when it first goes somewhere.
    CIEView* view = CreateView(channel != nullptr, !channel && address == kBlank);
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

void CIEFrame::AddBlankPage() {
    if (NewPage(kBlank, kBlank, nullptr) == 0)
        LogPrintf(L"Failed to create ie view");
}

bool CIEFrame::RemovePage(size_t index) {
    if (tabs_->DeletePage(index))
        return true;
    LogPrintf(L"Failed to delete CTabCtrl item");
    return false;
}

CIEView* CIEFrame::CurrentPage() const {
    return tabs_->CurrentView();
}

int CIEFrame::IndexOf(const CIEView* view) const {
    return view ? tabs_->FindPage(view) : wxNOT_FOUND;
}

int CIEFrame::IndexOfChannel(const CChannel* channel) const {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (tabs_->PageAt(i)->Channel() == channel)
            return static_cast<int>(i);
    return wxNOT_FOUND;
}

std::vector<CChannel*> CIEFrame::OpenChannels() const {
    std::vector<CChannel*> channels;
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (CChannel* channel = tabs_->PageAt(i)->Channel())
            channels.push_back(channel);
    return channels;
}

void CIEFrame::ShowAddressOf(const CIEView* page) {
    addressBox_->SetValue(wxString(page->IsChannelView() ? kBlank : page->Address().c_str()));
}

void CIEFrame::SelectPage(int index) {
    CIEView* page = index < 0 ? nullptr : tabs_->PageAt(static_cast<size_t>(index));
    if (!page)
        return;
    if (tabs_->GetSelection() != index)
        tabs_->ChangeSelection(static_cast<size_t>(index));
    ShowAddressOf(page);
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
    if (IndexOfChannel(channel) != wxNOT_FOUND) {
        SelectPageOfChannel(channel);
        return;
    }
    const std::wstring path = PagePath(channel);
    CIEView* current = CurrentPage();
    if (!current || current->Address() != kBlank || current->Channel() ||
        current->IsChannelView()) {
        if (NewPage(channel->GetName(), path, channel) == 0)
            LogPrintf(L"Failed to create ie view");
        return;
    }
    // An empty page gives its place to the channel's page (a channel view of its own).
    const int position = IndexOf(current);
    CIEView* view = CreateView(true);
    if (!view) {
        LogPrintf(L"Failed to create ie view");
        return;
    }
    tabs_->DeletePage(static_cast<size_t>(position));
    view->SetChannel(channel);
    view->SetAddress(kBlank);
    if (InsertPage(view, static_cast<size_t>(position), channel->GetName()))
        view->Navigate(path);
}

void CIEFrame::SelectPageOfChannel(CChannel* channel) {
    SelectPage(IndexOfChannel(channel));
}

void CIEFrame::ReloadPageOfChannel(CChannel* channel) {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (CIEView* page = tabs_->PageAt(i); page->Channel() == channel)
            page->ReloadKeepingScroll();
}

void CIEFrame::ClosePageOfChannel(CChannel* channel) {
    const int index = IndexOfChannel(channel);
    if (index == wxNOT_FOUND)
        return;
    SelectPage(index);
    CloseCurrentPage();
}

void CIEFrame::CloseCurrentPage() {
    const int old = tabs_->GetSelection();
    if (old == wxNOT_FOUND || !RemovePage(static_cast<size_t>(old)))
        return;
    if (tabs_->GetPageCount() == 0)
        AddBlankPage(); // selected as it goes in
    else
        SelectPage(old > 0 ? old - 1 : 0);
}

void CIEFrame::CloseAllPages() {
    while (tabs_->GetPageCount() > 0)
        if (!RemovePage(tabs_->GetPageCount() - 1))
            break;
    AddBlankPage();
    SelectPage(0);
}

void CIEFrame::RunCommand(int command) {
    if (command == kNewPage) {
        AddBlankPage();
        return;
    }
    CIEView* current = CurrentPage();
    if (!current)
        return;
    wxWebView* web = current->WebView();
    if (!web)
        return; // an empty page: nowhere to go back to, nothing to load or stop
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
        // A view is written anew from the channels' files; a page is loaded again.
        if (current->ItemViewKind() >= 0 && refreshItemView)
            refreshItemView(current->ItemViewKind());
        else
            current->ReloadKeepingScroll();
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
    CIEView* current = CurrentPage();
    if (text.empty() || !current)
        return;
    if (current->Channel()) {
        NewPage(text, text, nullptr);
    } else {
        current->Navigate(text);
        current->SetAddress(text);
    }
    const wxString entry(text.c_str());
    if (addressBox_->FindString(entry, true) == wxNOT_FOUND &&
        !(addressBox_->IsListEmpty() && text == kBlank))
        addressBox_->Append(entry);
}

void CIEFrame::OnAddressChosen(const std::wstring& text) {
    if (CIEView* current = CurrentPage(); current && !text.empty())
        current->Navigate(text);
}

bool CIEFrame::ShowsOwnChannelPage(const CIEView* view) const {
    if (!view || !view->Channel() || dataFolder_.empty())
        return false;
    const std::wstring shown = view->ShownFile();
    return !shown.empty() && wxFileName(shown).SameAs(wxFileName(PagePath(view->Channel())));
}

void CIEFrame::OnTitleChange(CIEView* view, const std::wstring& title) {
    // A web page without a title of its own shows its address.
    const std::wstring shown = view->Channel()             ? view->Channel()->GetName()
                               : view->ItemViewKind() >= 0 ? view->ItemViewTitle()
                               : title.empty() ? view->WebView()->GetCurrentURL().ToStdWstring()
                                               : title;
    if (!shown.empty())
        SetPageTitle(IndexOf(view), shown);
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
    if (!view->IsChannelView()) {
        view->SetAddress(address);
        // A page without a title of its own is named by its address.
        if (view->WebView()->GetCurrentTitle().empty() && !address.empty())
            SetPageTitle(IndexOf(view), address);
    }
    if (view == CurrentPage())
        ShowAddressOf(view);
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
        CurrentPage()->Navigate(address);
        CurrentPage()->SetAddress(address);
    }
}

bool CIEFrame::OnScriptMessage(CIEView* view, const PageCall& call) {
    if (call.call == "next_unread") {
        // Past the page's last unread item: the next channel that has some.
        GoToNextUnread(view->Channel());
        return true;
    }
    if (view->ItemViewKind() >= 0)
        return OnItemViewCall(view, call);
    // Only a channel's own page may change that channel's items, and only the items it
    // shows (a page older than the files may number them otherwise).
    if (!ShowsOwnChannelPage(view))
        return false;
    callingPage_ = view;
    const bool applied = ItemAction::OnNavigate(platform::Utf8ToWide(call.call), *view->Channel(),
                                                dataFolder_, treeTarget_, this,
                                                call.namesItem ? &call.itemLink : nullptr, index_);
    callingPage_ = nullptr;
    return applied;
}

bool CIEFrame::OnItemViewCall(CIEView* view, const PageCall& call) {
    const ItemCall parsed = ItemAction::Parse(call.call);
    CChannel* channel = parsed.action == ItemCall::kNone || !call.namesItem || !findChannel
                            ? nullptr
                            : findChannel(static_cast<uint32_t>(parsed.channelId));
    // A read or flag icon acts only on the mark the view shows; the view's file follows each
    // change, so that it keeps showing what the channel's files hold.
    const std::wstring viewFile = view->ShownFile();
    const bool icon = parsed.action == ItemCall::kRead || parsed.action == ItemCall::kFlag;
    std::string page, state;
    uint32_t block = 0;
    bool shown = false;
    bool applied = channel != nullptr;
    if (applied && icon)
        applied = platform::ReadWholeFile(viewFile, page) &&
                  platform::ReadWholeFile(ChannelFiles(dataFolder_, *channel).State(), state) &&
                  ViewPage::ShowsAsStored(page, parsed, state, block, shown);
    if (applied) {
        callingPage_ = view;
        applied = ItemAction::OnNavigate(platform::Utf8ToWide(call.call), *channel, dataFolder_,
                                         treeTarget_, this, &call.itemLink, index_);
        callingPage_ = nullptr;
    }
    if (applied && icon &&
        ItemAction::PatchMark(page, block, parsed.action, parsed.carriesLink || !shown ? 1 : 0))
        platform::ReplaceFileContent(viewFile, page);
    // The channel's own page, when open, shows the change too.
    if (applied)
        ReloadPageOfChannel(channel);
    // A view older than the files is written anew (once for each of its loads): it then
    // shows what they hold.
    if (!applied && refreshItemView && view->LoadToken() != refreshedLoad_) {
        refreshedLoad_ = view->LoadToken();
        const int kind = view->ItemViewKind();
        CallAfter([this, kind] { refreshItemView(kind); });
        return true;
    }
    return applied;
}

CIEView* CIEFrame::ItemViewPage(int kind) const {
    for (size_t i = 0; i < tabs_->GetPageCount(); ++i)
        if (CIEView* page = tabs_->PageAt(i); page->ItemViewKind() == kind)
            return page;
    return nullptr;
}

void CIEFrame::ShowItemView(int kind, const std::wstring& title, const std::wstring& path) {
    if (CIEView* open = ItemViewPage(kind)) {
        open->SetItemView(kind, title);
        SetPageTitle(IndexOf(open), title);
        SelectPage(IndexOf(open));
        open->Navigate(path);
        return;
    }
    if (tabs_->GetPageCount() >= static_cast<size_t>(kMaxPages)) {
        ShowPageLimit();
        return;
    }
    CIEView* view = CreateView(true);
    if (!view) {
        LogPrintf(L"Failed to create ie view");
        return;
    }
    view->SetItemView(kind, title);
    view->SetAddress(kBlank);
    const int selected = tabs_->GetSelection();
    if (InsertPage(view, selected == wxNOT_FOUND ? 0 : static_cast<size_t>(selected) + 1, title))
        view->Navigate(path);
}

void CIEFrame::GoToNextUnread(CChannel* current) {
    CChannel* next = nextUnreadChannel ? nextUnreadChannel(current) : nullptr;
    if (!next) {
        wxBell();
        return;
    }
    ShowChannelPage(next);
    // The page (new or open already) is loaded at its first unread item.
    if (const int index = IndexOfChannel(next); index != wxNOT_FOUND)
        tabs_->PageAt(static_cast<size_t>(index))->ReloadAtFirstUnread();
}

int CIEFrame::OpenPage(const std::wstring& title, const std::wstring& address) {
    if (!IsWebAddress(address))
        return 1; // script and local addresses are never opened
    return NewPage(title, address, nullptr);
}
