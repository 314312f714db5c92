#pragma once

#include "reader/ItemAction.h"
#include "reader/PageCalls.h"

#include <functional>
#include <string>
#include <vector>
#include <wx/panel.h>

class CChannel;
class CIEPageEvent;
class CIETabCtrl;
class CIEView;
class IPluginContainer;
class ItemIndex;
class wxComboBox;
class wxSearchCtrl;
class wxToolBar;
namespace platform {
class MessageTarget;
}

// The reading pane: the navigation toolbar 11051 and the address box on top, the tab strip
// with one page per tab below. At most 20 pages; there is always at least one. Channel pages
// come from the data folder (message 11905); their item actions arrive from the page's
// script and change the channel's files, and the tree hears of the new counts.
//
// The pages, their order, their channels and the current one are the tab strip's own; the
// pane binds the strip's and the pages' events.
class CIEFrame : public wxPanel, public ILinkOpener {
public:
    static const wchar_t* const kBlank; // "about:blank"
    static const int kMaxPages = 20;
    static const int kTitleChars = 12;
    enum Command {
        kNewPage = 11200,
        kBack = 11201,
        kForward = 11202,
        kRefresh = 11203,
        kStop = 11204
    };

    CIEFrame(wxWindow* parent, IPluginContainer* container);
    ~CIEFrame() override;

    void SetContainer(IPluginContainer* container) { container_ = container; }
    IPluginContainer* Container() const { return container_; }
    // Where channel pages are, and where the item actions' count messages go (the tree).
    void SetDataFolder(const std::wstring& folder) { dataFolder_ = folder; }
    void SetTreeTarget(platform::MessageTarget* tree) { treeTarget_ = tree; }
    // The word index that deletions keep current (may be null).
    void SetIndex(ItemIndex* index) { index_ = index; }
    // The channel of an id named by a view's item call (null: none).
    std::function<CChannel*(uint32_t id)> findChannel;
    // The next channel after `current` (null: from the start) in tree order that has unread
    // items, not `current` itself; null when there is none.
    std::function<CChannel*(CChannel* current)> nextUnreadChannel;
    // The search box's Enter with its text.
    std::function<void(const std::wstring& words)> onSearch;
    // Writes a view of a kind anew and shows it (Refresh on a view).
    std::function<void(int kind)> refreshItemView;

    // 1 when handled (also when refused at the page limit), 0 when no page could be made.
    int NewPage(const std::wstring& title, const std::wstring& address, CChannel* channel);
    void ShowChannelPage(CChannel* channel);
    // Shows a view across channels from its file (kind: one tab per kind), loaded anew.
    void ShowItemView(int kind, const std::wstring& title, const std::wstring& path);
    // The view of a kind, when open.
    CIEView* ItemViewPage(int kind) const;
    // Opens the next channel with unread items after `current`, at its first unread item.
    void GoToNextUnread(CChannel* current);
    void SelectPage(int index);
    void SetPageTitle(int index, const std::wstring& text);
    void ClosePageOfChannel(CChannel* channel);
    void SelectPageOfChannel(CChannel* channel);
    // The channel's page, when open, is loaded again where the reader was.
    void ReloadPageOfChannel(CChannel* channel);
    // Closing the current page selects the one before it (the first: the new first one);
    // closing every page leaves one empty page, as closing the last one does.
    void CloseCurrentPage();
    void CloseAllPages();
    CIEView* CurrentPage() const;
    // The channels of the open channel pages, in tab order.
    std::vector<CChannel*> OpenChannels() const;
    void RunCommand(int command);
    // The address box's Enter with its text, and the choice of a history entry.
    void OnAddressEntered(const std::wstring& text);
    void OnAddressChosen(const std::wstring& text);

    CIETabCtrl* Tabs() const { return tabs_; }
    wxToolBar* NavToolBar() const { return navToolbar_; }
    wxComboBox* AddressBox() const { return addressBox_; }
    wxSearchCtrl* SearchBox() const { return searchBox_; }
    std::wstring PagePath(const CChannel* channel) const;
    // The text a tab shows for a title: at most 12 characters, else those and "...".
    static std::wstring TabTitle(const std::wstring& text);

    // The language of channel pages' texts: the Lang setting when set by hand, else the
    // host's (its text for IDS_PAGE_LANGUAGE: "0" Chinese, "1" English).
    std::wstring PageLanguage() const;

    // ILinkOpener: a title's link in a new page; only web addresses are opened.
    int OpenPage(const std::wstring& title, const std::wstring& address) override;

private:
    void CreateNavToolBar();
    void BindTabs();
    // The tab under a point of the strip, or wxNOT_FOUND.
    int TabAt(const wxPoint& point) const;
    // Shows in the address box what the page shows (nothing for a channel page).
    void ShowAddressOf(const CIEView* page);
    // From the pages.
    void OnTitleChange(CIEView* view, const std::wstring& title);
    void OnDocumentComplete(CIEView* view, const std::wstring& address);
    void OnNewWindow(CIEView* view, const std::wstring& address);
    // An item call of a channel page's script (one at a time, from the page's queue); true
    // when the channel's files changed as the page shows.
    bool OnScriptMessage(CIEView* view, const PageCall& call);
    // An item call of a view across channels: applied to the item's own channel, and only
    // when it names the item the view showed.
    bool OnItemViewCall(CIEView* view, const PageCall& call);
    // True when the view shows its channel's own page file.
    bool ShowsOwnChannelPage(const CIEView* view) const;
    // The position of a page in the strip, or wxNOT_FOUND.
    int IndexOf(const CIEView* view) const;
    int IndexOfChannel(const CChannel* channel) const;
    // A new page's view (not in the strip yet, its events bound), or null when no browser
    // could be made.
    CIEView* CreateView(bool channelView, bool deferWebView = false);
    // Puts a new page into the strip at a position and selects it; false at the page limit.
    bool InsertPage(CIEView* view, size_t position, const std::wstring& title);
    // Removes the page at a position; false when it could not be removed.
    bool RemovePage(size_t index);
    // The empty page that stands alone in the strip.
    void AddBlankPage();
    // The page limit's message box, once per burst of a page's calls.
    void ShowPageLimit();
    // Says that a download was refused (at most once every few seconds).
    void ShowDownloadRefused(const std::wstring& address);

    IPluginContainer* container_;
    std::wstring dataFolder_;
    platform::MessageTarget* treeTarget_ = nullptr;
    wxToolBar* navToolbar_ = nullptr;
    wxComboBox* addressBox_ = nullptr;
    wxSearchCtrl* searchBox_ = nullptr;
    ItemIndex* index_ = nullptr;
    CIETabCtrl* tabs_ = nullptr;
    CIEView* callingPage_ = nullptr; // the page whose call is being handled
    std::string refreshedLoad_;      // the view load that was last written anew
    bool limitShownInBurst_ = false;
    long long downloadShownAt_ = -1; // ms
    bool downloadShowing_ = false;
};
