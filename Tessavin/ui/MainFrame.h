#pragma once

#include "ui/WxMessageTarget.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <wx/panel.h>

class CatalogueImport;
class CatalogueModel;
class UpdateScheduler;
class CDesktopNotice;
struct ViewEntry;
class CChannel;
class CIEFrame;
class CItemViewList;
class CRssChannelView;
class CRssSplitterWnd;
class CThreadPool;
class IPluginContainer;
class SearchIndex;
class wxStatusBar;
class wxToolBar;

// The module's main window, a child of the host window: the toolbar 11050 on top, the
// splitter with the channel tree (left) and the reading pane (right), a hidden status bar,
// the worker pool and the catalogue. It turns its key table and toolbar buttons into the
// channel view's commands and starts an update of all channels when it is first shown,
// if automatic updating is on.
//
// Closing: the catalogue stops its updates, the windows go (their message targets closed
// first), then the worker pool (every worker joined), then the catalogue.
class CMainFrame : public wxPanel {
public:
    // The commands that keys and toolbar buttons run.
    enum class Command {
        kDelete,
        kOptions,
        kAddChannel,
        kAddGroup,
        kRename,
        kProperties,
        kStopAll,
        kUpdateAll,
        kUpdateSelected,
        kMarkRead,    // the selected node, or everything when none is
        kMarkAllRead, // every channel
    };
    static const int kToolbarId = 11050;
    static const int kOptionsCommand = 11212;
    static const int kToolTipChars = 79;

    CMainFrame(wxWindow* parent, IPluginContainer* container);
    ~CMainFrame() override;

    void SetContainer(IPluginContainer* container);
    IPluginContainer* Container() const { return container_; }
    void ShowToolBar(bool show);
    // The host's size: the frame stands at (3, 4) in its parent with this size.
    void OnSize(unsigned sizeType, int width, int height);
    // The host's logging switch: flips logging and stores it as LogState.
    void ToggleLogging();
    void RunCommand(Command command);
    // The text of a toolbar button's tooltip: the host's text for its key, cut to 79
    // characters; empty without a container or for another id.
    std::wstring ToolTipText(int commandId) const;

    CRssChannelView* ChannelView() const { return channelView_; }
    CItemViewList* ViewList() const { return viewList_; }
    // Writes a view across channels (its kind as ViewPage::Kind; words for a search) into the
    // data folder and shows it in the reading pane.
    void OpenItemView(int kind, const std::wstring& words = std::wstring());
    // The next channel after `current` in tree order (from the start for null, wrapping
    // round) that has unread items; null when no other has any.
    CChannel* NextUnreadChannel(CChannel* current) const;
    CRssSplitterWnd* Splitter() const { return splitter_; }
    CIEFrame* ReadingPane() const { return readingPane_; }
    wxToolBar* ToolBar() const { return toolBar_; }
    CThreadPool* Pool() const { return pool_.get(); }
    CatalogueModel* Model() const { return model_.get(); }
    UpdateScheduler* Updates() const { return updates_.get(); }
    SearchIndex* Index() const { return index_.get(); }
    unsigned ThreadCount() const { return threadCount_; }
    // Called for every command before it runs (tests watch the key table with it).
    std::function<void(Command)> commandObserver;
    // Called when the frame goes (the exports forget it).
    std::function<void()> onDestroyed;

private:
    void CreateClient();
    void CreateToolBar();
    void OnFirstShow();
    void OnCharHook(wxKeyEvent& event);
    void OnOptions();
    void ApplyToolTips();
    // The items of every channel that the words find, newest first.
    std::vector<ViewEntry> SearchEntries(const std::wstring& words) const;

    IPluginContainer* container_;
    // The targets outlive every worker that may post to them (the pool is joined in the
    // destructor's body, before the members go).
    WxMessageTarget target_;     // 11904 status codes: nothing to do
    WxMessageTarget viewTarget_; // 11901-11903 to the channel view
    WxMessageTarget paneTarget_; // 11905 to the reading pane
    std::unique_ptr<CThreadPool> pool_;
    std::unique_ptr<CatalogueModel> model_;
    std::unique_ptr<CDesktopNotice> notice_; // the scheduler's sink: goes after it
    std::unique_ptr<UpdateScheduler> updates_;
    std::unique_ptr<CatalogueImport> importer_;
    std::unique_ptr<SearchIndex> index_;
    CRssSplitterWnd* splitter_ = nullptr;
    wxPanel* leftPane_ = nullptr; // the view list above the channel tree
    CItemViewList* viewList_ = nullptr;
    CRssChannelView* channelView_ = nullptr;
    CIEFrame* readingPane_ = nullptr;
    wxToolBar* toolBar_ = nullptr;
    wxStatusBar* statusBar_ = nullptr;
    unsigned threadCount_ = 0;
    bool firstShow_ = true;
    std::wstring lastSearch_; // the words of the search view
    int startAutoUpdate_ = 0;
};
