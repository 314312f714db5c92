#pragma once

#include "catalogue/CatalogueObserver.h"
#include "ui/TreeDragger.h"
#include "ui/WxMessageTarget.h"

#include <atomic>
#include <functional>
#include <memory>
#include <unordered_map>
#include <wx/timer.h>
#include <wx/treectrl.h>

class CatalogueImport;
class IconQueue;
class wxBitmap;
class CatalogueModel;
class CGroup;
class CRssDialog;
class UpdateScheduler;
class wxMenu;
class IPluginContainer;

// The channel tree: a tree control that mirrors the catalogue model through its observer
// interface (groups with images 0/1, channels 2/2 and 3/3 while updating, 4 while their
// updates fail, else their site icon when one is cached, texts "name(unread/total)"), and
// the window that gets the engine's and the page's messages 11901-11903 and hands them to
// the model on the UI thread. It asks for a channel's site icon after an update when the
// cache has none younger than a week (11908 brings the results).
class CRssChannelView : public wxTreeCtrl, public ICatalogueObserver {
public:
    // target: where the engine posts to this window; kept by the owner, closed by the
    // window when it goes.
    CRssChannelView(wxWindow* parent, WxMessageTarget* target);
    ~CRssChannelView() override;

    WxMessageTarget* Target() { return target_; }
    // The catalogue, its updates and its imports (all null: no catalogue is open).
    void SetModel(CatalogueModel* model, UpdateScheduler* updates, CatalogueImport* importer);
    void SetContainer(IPluginContainer* container) { container_ = container; }
    // Where 11905 (show a channel's page) goes.
    void SetReadingPane(platform::MessageTarget* pane) { readingPane_ = pane; }
    void SetAutoUpdate(bool on) { autoUpdate_ = on; }
    bool AutoUpdate() const { return autoUpdate_; }

    // The commands of the frame's keys, toolbar and the host's exports.
    void UpdateAll();
    void StopAll();
    void UpdateSelected();
    // Deletes the selected node once the user agrees to a question naming it; says what
    // stayed when the delete stopped.
    void DeleteCommand();
    // The commands with a dialog (11001-11004, 11006); the dialogs check with the core's
    // rules, the model does the rest.
    void AddChannelCommand();
    void AddGroup();
    void RenameNode();
    void Properties();
    // Imports a list under the selected group (the top level with nothing selected); the
    // dialog imports on OK and stays open with the reason when nothing came of it.
    void ImportCommand();
    // Deletes the page and state file of the selected channel (menu command 11605) once the
    // user agrees; says why when they stay.
    void DeleteArticlesCommand();
    // Marks every item read: of the selected node (the whole catalogue when none is
    // selected), or with `all` of every channel (11612, 11613); says which channels stayed.
    void MarkReadCommand(bool all);
    // The context menu 11052 for the current selection: the configured texts, commands
    // enabled by what is selected (none, a group, a channel). The caller owns it.
    wxMenu* BuildContextMenu();
    enum class SelectionKind { kNone, kGroup, kChannel };
    static bool IsCommandEnabled(int command, SelectionKind kind);

    // Shows a dialog modally and gives its result; tests answer here (the options dialog of
    // the frame goes through it too).
    std::function<int(CRssDialog&)> showDialog;
    int RunDialog(CRssDialog& dialog);

    // Progress of the last update-all: channels finished, channels in it, failures, stopped
    // channels. Once a stopped walk has ended and no update runs, the channels it never
    // started count as finished and stopped.
    void Progress(int& done, int& total, int& failed, int& stopped) const;
    // The image list entry of the channel's site icon; -1 when it has none.
    int IconSlotOf(const CChannel* channel) const;
    // The node an item stands for (null for the hidden root).
    CatalogueNode* NodeOf(const wxTreeItemId& item) const;
    wxTreeItemId ItemOf(CatalogueNode* node) const;
    // The running timer of a channel (null when it has none), for tests.
    const wxTimer* TimerOf(CChannel* channel) const;
    // A channel timer's expiry, as the timer event runs it.
    void OnChannelTimer(int timerId);
    // Double click on a node: a channel's page, or the first update of an empty channel.
    void OpenNode(CatalogueNode* node);

    // ICatalogueObserver.
    void OnNodeInserted(CatalogueNode* node) override;
    void OnNodeRemoved(CatalogueNode* node) override;
    void OnNodeMoved(CatalogueNode* node) override;
    void OnNodeTextChanged(CatalogueNode* node) override;
    void OnUpdatingChanged(CChannel* channel, bool updating) override;
    void OnUpdateFinished(CChannel* channel, UpdateOutcome outcome,
                          const std::string& reason) override;
    void OnFeedAddresses(CChannel* channel, const FeedAddresses& addresses) override;
    // Per-channel timers: period interval x 60000 ms; ids never 1 or 2 (the drag timers).
    void StartChannelTimer(CChannel* channel) override;
    bool KillChannelTimer(CChannel* channel) override;
    // Saves asked for by a burst of messages are made once, after the burst.
    bool ScheduleSave() override;
    void ClosePageOfChannel(CChannel* channel) override {
        if (closePage)
            closePage(channel);
    }
    void ReloadPageOfChannel(CChannel* channel) override {
        if (reloadPage)
            reloadPage(channel);
    }
    // Closes or reloads a channel's page in the reading pane (set by the frame).
    std::function<void(CChannel*)> closePage;
    std::function<void(CChannel*)> reloadPage;

    CTreeDragger& Dragger() { return dragger_; }
    // A drag's end: the source node moves under the target group (not ok: the top level)
    // unless the model refuses; a channel takes nothing.
    void Drop(const wxTreeItemId& source, const wxTreeItemId& target);

private:
    void InsertSubtree(CatalogueNode* node);
    // Nothing selected (a click beside every node).
    void ClearSelection();
    void OnMessage(wxThreadEvent& event);
    // The clicks, drags and the context menu of the tree.
    void BindMouse();
    // The commands of the context menu (11600-11609).
    void OnMenuCommand(wxCommandEvent& event);
    // The selected node and the group new nodes go under (null: top level); false when a
    // channel is selected (adding is not allowed then).
    bool SelectedGroup(CGroup*& group) const;
    std::function<bool(const std::wstring&)> AddressCheck() const;
    // The channel's image: updating, failing (its updates fail) or plain.
    void RefreshChannelImage(CChannel* channel);
    int ChannelImage(CChannel* channel) const;
    // The channel's site icon from the cache, when there is one that decodes.
    void LoadCachedIcon(CChannel* channel);
    // Puts the icon into the image list (in the channel's entry, else a free one).
    void SetChannelIcon(CChannel* channel, const wxBitmap& bitmap);
    // The channel shows no site icon any more; its image list entry is free for another.
    void ForgetChannelIcon(CChannel* channel);
    // The ended icon searches: icons shown, those of channels deleted meanwhile deleted.
    void TakeIconResults();
    // Why and since when the channel's updates fail, in the host's language; empty while fine.
    std::wstring HealthText(CChannel* channel) const;
    static wxString TextOf(CatalogueNode* node);

    WxMessageTarget* target_;
    CatalogueModel* model_ = nullptr;
    UpdateScheduler* updates_ = nullptr;
    CatalogueImport* importer_ = nullptr;
    IPluginContainer* container_ = nullptr;
    std::unordered_map<CatalogueNode*, wxTreeItemId> items_;
    std::unordered_map<CChannel*, std::unique_ptr<wxTimer>> timers_;
    std::unordered_map<int, CChannel*> timerChannels_; // the live timer ids
    int nextTimerId_ = 100;
    CTreeDragger dragger_;
    bool saveScheduled_ = false;
    platform::MessageTarget* readingPane_ = nullptr;
    bool autoUpdate_ = false;
    std::unique_ptr<IconQueue> icons_;            // started with the first search
    std::unordered_map<uint32_t, int> iconSlots_; // channel id -> image list entry
    std::vector<int> freeIconSlots_;              // entries of deleted channels
    std::atomic<int> progressDone_{0};
    std::atomic<int> progressTotal_{0};
    std::atomic<int> progressFailed_{0};
    // Counted from zero again with the first end after progressDone_ was reset.
    std::atomic<int> progressStopped_{0};
};
