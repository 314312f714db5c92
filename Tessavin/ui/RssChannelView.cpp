#include "ui/RssChannelView.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/DialogRules.h"
#include "catalogue/IconCache.h"
#include "config/LogFile.h"
#include "engine/IconFormat.h"
#include "engine/IconQueue.h"
#include "host/HostServices.h"
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "reader/ReadAll.h"
#include "ui/AddChannelDlg.h"
#include "ui/AddGroupDlg.h"
#include "ui/ArtTable.h"
#include "ui/ChannelPropertyDlg.h"
#include "ui/IconImage.h"
#include "ui/ImportFeedDlg.h"
#include "ui/RenameDlg.h"
#include "ui/ResourceMenu.h"
#include "update/UpdateScheduler.h"

#include "engine/Messages.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/utils.h>

namespace {

// Tree images: group closed, group open, channel, channel while updating, channel whose
// updates fail.
enum Image { kGroup = 0, kGroupOpen = 1, kChannel = 2, kUpdating = 3, kFailing = 4 };

class NodeData : public wxTreeItemData {
public:
    explicit NodeData(CatalogueNode* node) : node(node) {}
    CatalogueNode* node;
};

} // namespace

CRssChannelView::CRssChannelView(wxWindow* parent, WxMessageTarget* target)
    : wxTreeCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE |
                     wxBORDER_NONE),
      target_(target), dragger_(this) {
    target_->Attach(this);
    auto* images = new wxImageList(16, 16, true, 5);
    for (unsigned icon : {11155u, 11156u, 11159u, 11162u, 11171u})
        images->Add(ArtTable::Bitmap(icon));
    AssignImageList(images);
    AddRoot(wxEmptyString);
    Bind(EVT_TESSAVIN_MESSAGE, &CRssChannelView::OnMessage, this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent& event) {
        if (event.GetId() == CTreeDragger::kHoverTimerId ||
            event.GetId() == CTreeDragger::kScrollTimerId)
            dragger_.OnTimer(event.GetId());
        else
            OnChannelTimer(event.GetId());
    });
    BindMouse();
    Bind(wxEVT_MENU, &CRssChannelView::OnMenuCommand, this);
    Bind(wxEVT_TREE_ITEM_ACTIVATED, [this](wxTreeEvent& event) {
        OpenNode(NodeOf(event.GetItem()));
        event.Skip();
    });
    Bind(wxEVT_TREE_ITEM_GETTOOLTIP, [this](wxTreeEvent& event) {
        CatalogueNode* node = NodeOf(event.GetItem());
        event.SetToolTip(node && node->channel ? wxString(HealthText(node->channel).c_str())
                                               : wxString());
    });
}

void CRssChannelView::BindMouse() {
    dragger_.drop = [this](const wxTreeItemId& source, const wxTreeItemId& target) {
        Drop(source, target);
    };
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        // A click beside every node leaves nothing selected.
        dragger_.OnLeftDown(event);
        int flags = 0;
        if (!HitTest(event.GetPosition(), flags).IsOk())
            ClearSelection();
        event.Skip();
    });
    Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
        dragger_.OnMotion(event);
        event.Skip();
    });
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
        dragger_.OnLeftUp();
        event.Skip();
    });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { dragger_.Cancel(); });
    // The tree's own dragging stays off: the notification is never allowed.
    Bind(wxEVT_TREE_BEGIN_DRAG, [this](wxTreeEvent& event) { dragger_.OnBeginDrag(event); });
    Bind(wxEVT_RIGHT_DOWN, [this](wxMouseEvent& event) {
        // The node under the cursor becomes the selection; the menu opens one pixel right
        // of and below the click.
        int flags = 0;
        const wxTreeItemId item = HitTest(event.GetPosition(), flags);
        if (item.IsOk())
            SelectItem(item);
        else
            ClearSelection();
        std::unique_ptr<wxMenu> menu(BuildContextMenu());
        if (!menu || !PopupMenu(menu.get(), event.GetPosition() + wxPoint(1, 1)))
            LogPrintf(L"Failed to show context menu");
    });
}

void CRssChannelView::OnMenuCommand(wxCommandEvent& event) {
    switch (event.GetId()) {
    case 11600:
        return AddChannelCommand();
    case 11601:
        return AddGroup();
    case 11602:
        return RenameNode();
    case 11603:
        return Properties();
    case 11604:
        return DeleteCommand();
    case 11605:
        return DeleteArticlesCommand();
    case 11606:
        return UpdateSelected();
    case 11607:
        return UpdateAll();
    case 11608:
        return StopAll();
    case 11609:
        return ImportCommand();
    case 11612:
    case 11613:
        return MarkReadCommand(event.GetId() == 11613);
    default:
        event.Skip();
    }
}

std::wstring CRssChannelView::HealthText(CChannel* channel) const {
    const ChannelHealth* health = model_ ? model_->HealthOf(channel) : nullptr;
    if (!health)
        return std::wstring();
    const std::string last = ChannelHealth::LastSuccess(*channel);
    const std::wstring format =
        GetLocaleText(last.empty() ? L"IDS_CHANNEL_FAILING_NEVER_UPDATED" : L"IDS_CHANNEL_FAILING",
                      kModuleTextsName, container_);
    return platform::FormatW(format.c_str(), platform::Utf8ToWide(health->Reason()).c_str(),
                             platform::Utf8ToWide(health->FailedSince()).c_str(),
                             platform::Utf8ToWide(last).c_str());
}

int CRssChannelView::ChannelImage(CChannel* channel) const {
    if (channel->IsUpdating())
        return kUpdating;
    if (model_ && model_->HealthOf(channel))
        return kFailing;
    const int icon = IconSlotOf(channel);
    return icon >= 0 ? icon : kChannel;
}

int CRssChannelView::IconSlotOf(const CChannel* channel) const {
    auto it = iconSlots_.find(channel->GetId());
    return it == iconSlots_.end() ? -1 : it->second;
}

void CRssChannelView::LoadCachedIcon(CChannel* channel) {
    std::string bytes;
    wxBitmap bitmap;
    if (model_ &&
        IconCache(model_->DataFolder()).Load(channel->GetId(), bytes, IconFormat::kMaxBytes) &&
        IconImage::Decode(bytes, bitmap))
        SetChannelIcon(channel, bitmap);
}

void CRssChannelView::SetChannelIcon(CChannel* channel, const wxBitmap& bitmap) {
    wxImageList* images = GetImageList();
    int slot = IconSlotOf(channel);
    if (slot < 0 && !freeIconSlots_.empty()) {
        slot = freeIconSlots_.back();
        freeIconSlots_.pop_back();
    }
    if (slot >= 0)
        images->Replace(slot, bitmap);
    else
        slot = images->Add(bitmap);
    if (slot < 0)
        return;
    iconSlots_[channel->GetId()] = slot;
    RefreshChannelImage(channel);
}

void CRssChannelView::OnFeedAddresses(CChannel* channel, const FeedAddresses& addresses) {
    if (!model_ || model_->DataFolder().empty())
        return;
    // Looked for at most once a week. Without addresses (the server said "not modified")
    // only a channel never looked for is: a refresh waits for the next document.
    const IconCache::State state =
        IconCache(model_->DataFolder())
            .StateOf(channel->GetId(), static_cast<int64_t>(std::time(nullptr)));
    if (state == IconCache::State::kFresh ||
        (addresses.Empty() && state == IconCache::State::kStale))
        return;
    if (!icons_)
        icons_ = std::make_unique<IconQueue>(model_->DataFolder(), target_);
    icons_->Ask({channel->GetId(), platform::WideToUtf8(channel->GetUrl()), addresses});
}

void CRssChannelView::TakeIconResults() {
    if (!icons_)
        return;
    for (IconQueue::Result& result : icons_->TakeResults()) {
        CChannel* channel = model_->FindChannel(result.channelId);
        wxBitmap bitmap;
        if (!channel)
            IconCache(model_->DataFolder()).Delete(result.channelId); // deleted meanwhile
        else if (result.found && IconImage::Decode(result.icon, bitmap))
            SetChannelIcon(channel, bitmap);
    }
}

CRssChannelView::~CRssChannelView() {
    target_->Close(); // a worker that finishes now posts into nothing
    icons_.reset();   // its search stopped, its thread joined
    for (auto& timer : timers_)
        timer.second->Stop();
}

void CRssChannelView::ClearSelection() {
    // Unselect forgets the current item (UnselectAll only takes the highlight away); when
    // idle the tree control then selects its hidden root, which stands for no node here.
    Unselect();
}

void CRssChannelView::OnMessage(wxThreadEvent& event) {
    if (!model_)
        return;
    const platform::PostedMessage message = WxMessageTarget::MessageOf(event);
    if (message.message == kMsgIconFetched)
        return TakeIconResults();
    updates_->HandleMessage(message);
    // The channel whose last item went is the one the reader is working on.
    auto* channel = reinterpret_cast<CChannel*>(message.lParam);
    if (message.message == kMsgItemDeleted && channel && channel->GetTotalCount() == 0) {
        const wxTreeItemId item = ItemOf(CatalogueModel::NodeOf(channel));
        if (item.IsOk())
            SelectItem(item);
    }
}

bool CRssChannelView::ScheduleSave() {
    if (!saveScheduled_) {
        saveScheduled_ = true;
        // Queued behind the messages already waiting, so a burst is saved once.
        CallAfter([this] {
            saveScheduled_ = false;
            if (model_)
                model_->FlushSaves();
        });
    }
    return true;
}

void CRssChannelView::Drop(const wxTreeItemId& sourceItem, const wxTreeItemId& targetItem) {
    CatalogueNode* source = NodeOf(sourceItem);
    CatalogueNode* target = targetItem.IsOk() ? NodeOf(targetItem) : nullptr;
    if (!model_ || !source || (targetItem.IsOk() && !target) || (target && target->channel))
        return;
    if (model_->Move(source, target ? target->group : nullptr) !=
        CatalogueModel::MoveResult::kMoved)
        return;
    if (target)
        Expand(ItemOf(target));
    SelectItem(ItemOf(source));
}

void CRssChannelView::StartChannelTimer(CChannel* channel) {
    KillChannelTimer(channel);
    const int64_t period = static_cast<int64_t>(channel->GetInterval()) * 60000;
    const int id = nextTimerId_++;
    auto timer = std::make_unique<wxTimer>(this, id);
    // A period past what a timer holds waits as long as it can.
    timer->Start(static_cast<int>(std::min<int64_t>(std::max<int64_t>(period, 1), INT32_MAX)));
    timerChannels_[id] = channel;
    timers_[channel] = std::move(timer);
}

bool CRssChannelView::KillChannelTimer(CChannel* channel) {
    auto it = timers_.find(channel);
    if (it == timers_.end())
        return true;
    it->second->Stop();
    timerChannels_.erase(it->second->GetId());
    timers_.erase(it);
    return true;
}

const wxTimer* CRssChannelView::TimerOf(CChannel* channel) const {
    auto it = timers_.find(channel);
    return it == timers_.end() ? nullptr : it->second.get();
}

void CRssChannelView::OnChannelTimer(int timerId) {
    auto it = timerChannels_.find(timerId);
    // A stale id (a channel deleted since) is no longer in the set of live ids.
    if (!autoUpdate_ || !model_ || it == timerChannels_.end())
        return;
    updates_->UpdateChannel(it->second);
}

void CRssChannelView::OpenNode(CatalogueNode* node) {
    if (!model_ || !node || !node->channel)
        return;
    CChannel* channel = node->channel;
    if (channel->GetTotalCount() != 0) {
        if (readingPane_)
            readingPane_->Post(kMsgShowChannelPage, 0, reinterpret_cast<platform::LParam>(channel));
        return;
    }
    // An empty channel whose updates fail says why before it is tried again.
    if (model_->HealthOf(channel) && !channel->IsUpdating()) {
        const std::wstring text = platform::FormatW(
            GetLocaleText(L"IDS_CHANNEL_FAILING_TRY_AGAIN", kModuleTextsName, container_).c_str(),
            channel->GetName().c_str(), HealthText(channel).c_str());
        if (ShowMessageBox(container_, text,
                           GetLocaleText(L"IDS_TEXT_PROMPT", kModuleTextsName, container_),
                           kMbOkCancelQuestionTopmost) != kIdOk)
            return;
    }
    // An empty channel: its first update, and its page once it is done.
    wxBusyCursor wait;
    channel->SetShowWhenDone(true);
    if (!updates_->UpdateSelected(channel))
        channel->SetShowWhenDone(false);
}

void CRssChannelView::SetModel(CatalogueModel* model, UpdateScheduler* updates,
                               CatalogueImport* importer) {
    icons_.reset(); // the searches were for the catalogue before
    model_ = model;
    updates_ = updates;
    importer_ = importer;
}

wxString CRssChannelView::TextOf(CatalogueNode* node) {
    const std::wstring text = node->channel ? node->channel->NodeText() : node->group->GetName();
    return wxString(text.c_str());
}

CatalogueNode* CRssChannelView::NodeOf(const wxTreeItemId& item) const {
    auto* data = item.IsOk() ? static_cast<NodeData*>(GetItemData(item)) : nullptr;
    return data ? data->node : nullptr;
}

wxTreeItemId CRssChannelView::ItemOf(CatalogueNode* node) const {
    auto it = items_.find(node);
    return it == items_.end() ? wxTreeItemId() : it->second;
}

void CRssChannelView::OnNodeInserted(CatalogueNode* node) {
    const wxTreeItemId parent = node->parent ? ItemOf(node->parent) : GetRootItem();
    if (node->channel && IconSlotOf(node->channel) < 0)
        LoadCachedIcon(node->channel);
    const int image = node->group ? kGroup : ChannelImage(node->channel);
    const int selected = node->group ? kGroupOpen : image;
    items_[node] = AppendItem(parent.IsOk() ? parent : GetRootItem(), TextOf(node), image, selected,
                              new NodeData(node));
}

void CRssChannelView::ForgetChannelIcon(CChannel* channel) {
    auto slot = iconSlots_.find(channel->GetId());
    if (slot == iconSlots_.end())
        return;
    freeIconSlots_.push_back(slot->second);
    iconSlots_.erase(slot);
    RefreshChannelImage(channel);
}

void CRssChannelView::OnNodeRemoved(CatalogueNode* node) {
    if (node->channel)
        ForgetChannelIcon(node->channel);
    const wxTreeItemId item = ItemOf(node);
    items_.erase(node);
    if (item.IsOk())
        Delete(item);
}

void CRssChannelView::InsertSubtree(CatalogueNode* node) {
    OnNodeInserted(node);
    for (CatalogueNode* child : node->children)
        InsertSubtree(child);
}

void CRssChannelView::OnNodeMoved(CatalogueNode* node) {
    // The items of the subtree are made again under the new parent.
    const wxTreeItemId old = ItemOf(node);
    std::vector<CatalogueNode*> stack{node};
    while (!stack.empty()) {
        CatalogueNode* n = stack.back();
        stack.pop_back();
        items_.erase(n);
        stack.insert(stack.end(), n->children.begin(), n->children.end());
    }
    if (old.IsOk())
        Delete(old);
    InsertSubtree(node);
}

void CRssChannelView::OnNodeTextChanged(CatalogueNode* node) {
    const wxTreeItemId item = ItemOf(node);
    if (item.IsOk())
        SetItemText(item, TextOf(node));
}

void CRssChannelView::RefreshChannelImage(CChannel* channel) {
    const wxTreeItemId item = ItemOf(CatalogueModel::NodeOf(channel));
    if (!item.IsOk())
        return;
    SetItemImage(item, ChannelImage(channel), wxTreeItemIcon_Normal);
    SetItemImage(item, ChannelImage(channel), wxTreeItemIcon_Selected);
}

void CRssChannelView::OnUpdatingChanged(CChannel* channel, bool) {
    // The update-all walk runs on its own thread: the image changes on the UI thread, in
    // order with the update's own end message, as the channel's state then says.
    if (!wxThread::IsMain()) {
        CallAfter([this, channel] { RefreshChannelImage(channel); });
        return;
    }
    RefreshChannelImage(channel);
}

void CRssChannelView::OnUpdateFinished(CChannel*, UpdateOutcome outcome, const std::string&) {
    if (progressDone_.load() == 0)
        progressStopped_ = 0; // the first end of a new update-all
    ++progressDone_;
    if (outcome == UpdateOutcome::kFailed)
        ++progressFailed_;
    else if (outcome == UpdateOutcome::kStopped)
        ++progressStopped_;
}

void CRssChannelView::Progress(int& done, int& total, int& failed, int& stopped) const {
    done = progressDone_.load();
    total = progressTotal_.load();
    failed = progressFailed_.load();
    stopped = done == 0 ? 0 : progressStopped_.load();
    // A stopped walk leaves channels it never started: once it has ended and no update is
    // left to report, they are done, as stopped.
    if (done < total && model_ && !updates_->UpdateAllRunning() && updates_->RunningJobs() == 0) {
        stopped += total - done;
        done = total;
    }
}

void CRssChannelView::UpdateAll() {
    if (!model_)
        return;
    if (!updates_->UpdateAllRunning()) {
        progressDone_ = 0;
        progressFailed_ = 0;
        progressTotal_ = static_cast<int>(model_->Channels().size());
    }
    updates_->UpdateAll();
}

void CRssChannelView::StopAll() {
    if (model_)
        updates_->StopAll();
}

void CRssChannelView::UpdateSelected() {
    CatalogueNode* node = NodeOf(GetSelection());
    if (model_ && node && node->channel)
        updates_->UpdateSelected(node->channel);
}

void CRssChannelView::DeleteCommand() {
    CatalogueNode* node = NodeOf(GetSelection());
    if (!model_ || !node)
        return;
    auto text = [this](const wchar_t* key, const wchar_t* fallback) {
        return CRssDialog::HostText(container_, key, fallback).ToStdWstring();
    };
    // The question names what goes: the channel, or the group with its channels at any depth.
    CGroup* group = node->group;
    const std::wstring name = group ? group->GetName() : node->channel->GetName();
    const int channels = static_cast<int>(CatalogueModel::ChannelsUnder(node));
    std::wstring question;
    if (!group)
        question = text(L"IDS_DELETE_CHANNEL_CONFIRM", L"删除频道“%s”及其所有文章吗？");
    else if (channels == 0)
        question = text(L"IDS_DELETE_EMPTY_GROUP_CONFIRM", L"删除频道组“%s”吗？");
    else if (channels == 1)
        question =
            text(L"IDS_DELETE_GROUP_ONE_CHANNEL_CONFIRM", L"删除频道组“%s”及其中的 1 个频道吗？");
    else
        question = text(L"IDS_DELETE_GROUP_CONFIRM", L"删除频道组“%s”及其中的 %d 个频道吗？");
    const std::wstring caption = text(L"IDS_DELETE_INFO", L"删除");
    if (ShowMessageBox(container_, platform::FormatW(question.c_str(), name.c_str(), channels),
                       caption, kMbOkCancelQuestionTopmost) != kIdOk ||
        model_->Delete(node))
        return;
    // What stayed, and why.
    const CatalogueModel::DeleteReport& report = model_->LastDelete();
    const bool updating = report.stop == CatalogueModel::DeleteStop::kUpdating;
    std::wstring said;
    if (group) {
        const int left =
            static_cast<int>(CatalogueModel::ChannelsUnder(CatalogueModel::NodeOf(group)));
        said = platform::FormatW(
            updating ? text(L"IDS_DELETE_GROUP_STOPPED_UPDATING",
                            L"删除在频道“%s”处停止（该频道正在更新）：频道组“%s”保留，其中还有 "
                            L"%d 个频道。")
                           .c_str()
                     : text(L"IDS_DELETE_GROUP_STOPPED_FILES",
                            L"删除在频道“%s”处停止（无法删除其文件）：频道组“%s”保留，其中还有 "
                            L"%d 个频道。")
                           .c_str(),
            report.channel.c_str(), name.c_str(), left);
    } else {
        said = platform::FormatW(
            updating ? text(L"IDS_DELETE_CHANNEL_UPDATING", L"频道“%s”未被删除：该频道正在更新。")
                           .c_str()
                     : text(L"IDS_DELETE_CHANNEL_FILES_KEPT", L"频道“%s”未被删除：无法删除其文件。")
                           .c_str(),
            name.c_str());
    }
    ShowMessageBox(container_, said, caption, kMbIconError);
}

bool CRssChannelView::SelectedGroup(CGroup*& group) const {
    CatalogueNode* node = NodeOf(GetSelection());
    group = node ? node->group : nullptr;
    return !(node && node->channel);
}

int CRssChannelView::RunDialog(CRssDialog& dialog) {
    return showDialog ? showDialog(dialog) : dialog.ShowModal();
}

std::function<bool(const std::wstring&)> CRssChannelView::AddressCheck() const {
    CatalogueModel* model = model_;
    return [model](const std::wstring& address) { return model->IsAddressUnique(address); };
}

void CRssChannelView::AddChannelCommand() {
    CGroup* parent = nullptr;
    if (!model_ || !SelectedGroup(parent))
        return;
    CAddChannelDlg dialog(this, container_, AddressCheck());
    if (RunDialog(dialog) != wxID_OK)
        return SetFocus();
    CChannel* channel =
        model_->AddChannel(parent, dialog.Name(), dialog.Description(), dialog.Address());
    if (channel)
        updates_->UpdateChannel(channel);
    if (channel)
        SelectItem(ItemOf(CatalogueModel::NodeOf(channel)));
    SetFocus();
}

void CRssChannelView::AddGroup() {
    CGroup* parent = nullptr;
    if (!model_ || !SelectedGroup(parent))
        return;
    CAddGroupDlg dialog(this, container_);
    if (RunDialog(dialog) != wxID_OK)
        return SetFocus();
    CGroup* group = model_->AddGroup(parent, dialog.Name());
    if (group) {
        if (parent)
            Expand(ItemOf(CatalogueModel::NodeOf(parent)));
        SelectItem(ItemOf(CatalogueModel::NodeOf(group)));
    }
    SetFocus();
}

void CRssChannelView::RenameNode() {
    CatalogueNode* node = NodeOf(GetSelection());
    if (!model_ || !node)
        return;
    CRenameDlg dialog(this, container_,
                      node->channel ? node->channel->GetName() : node->group->GetName());
    if (RunDialog(dialog) == wxID_OK)
        model_->Rename(node, dialog.Name());
    SetFocus();
}

void CRssChannelView::Properties() {
    CatalogueNode* node = NodeOf(GetSelection());
    if (!model_ || !node || !node->channel)
        return;
    CChannelPropertyDlg dialog(this, container_, *node->channel, AddressCheck());
    if (RunDialog(dialog) != wxID_OK)
        return SetFocus();
    const ChannelProperties values = dialog.Values();
    CatalogueModel::PropertyValues apply;
    apply.name = values.name;
    apply.description = values.description;
    apply.url = values.url;
    apply.maxItems = DialogRules::Number(values.maxItemsText);
    apply.interval = DialogRules::Number(values.intervalText);
    const bool moved = apply.url != node->channel->GetUrl();
    model_->ApplyProperties(node->channel, apply);
    if (moved)
        ForgetChannelIcon(node->channel); // its cached icon went too
    SetFocus();
}

void CRssChannelView::ImportCommand() {
    CGroup* parent = nullptr;
    if (!model_ || !SelectedGroup(parent))
        return;
    CImportFeedDlg dialog(this, container_);
    dialog.ImportInto(importer_, parent); // OK imports, and says why when nothing came of it
    if (RunDialog(dialog) != wxID_OK)
        return SetFocus();
    if (parent)
        Expand(ItemOf(CatalogueModel::NodeOf(parent)));
    SetFocus();
}

bool CRssChannelView::IsCommandEnabled(int command, SelectionKind kind) {
    switch (command) {
    case 11600: // add channel
    case 11601: // add group
    case 11609: // import
        return kind != SelectionKind::kChannel;
    case 11603: // properties
    case 11605: // delete articles
    case 11606: // update channel
        return kind == SelectionKind::kChannel;
    case 11612: // mark read: the selection, or everything
    case 11613: // mark all channels read
        return true;
    default: // rename, delete, update all, stop all
        return kind != SelectionKind::kNone;
    }
}

wxMenu* CRssChannelView::BuildContextMenu() {
    wxMenu* menu = ResourceMenu::Load(11052);
    if (!menu)
        return nullptr;
    ResourceMenu::ApplyMenuTexts(menu, "TreeViewMenu", container_);
    CatalogueNode* node = NodeOf(GetSelection());
    const SelectionKind kind = !node         ? SelectionKind::kNone
                               : node->group ? SelectionKind::kGroup
                                             : SelectionKind::kChannel;
    for (wxMenuItem* item : menu->GetMenuItems())
        if (!item->IsSeparator())
            item->Enable(IsCommandEnabled(item->GetId(), kind));
    return menu;
}

void CRssChannelView::MarkReadCommand(bool all) {
    if (!model_)
        return;
    CatalogueNode* node = all ? nullptr : NodeOf(GetSelection());
    // Every channel at once cannot be taken back: asked first.
    if (!node &&
        ShowMessageBox(
            container_,
            platform::FormatW(
                GetLocaleText(L"IDS_MARK_ALL_READ_CONFIRM", kModuleTextsName, container_).c_str(),
                static_cast<int>(model_->Channels().size())),
            GetLocaleText(L"IDS_TEXT_PROMPT", kModuleTextsName, container_),
            kMbOkCancelQuestionTopmost) != kIdOk)
        return;
    const ReadAll::Report report = ReadAll::MarkNode(*model_, node);
    if (report.refused.empty())
        return;
    // One line for each channel that stayed unread, at most ten.
    std::wstring text;
    for (size_t i = 0; i < report.refused.size() && i < 10; ++i) {
        const ReadAll::Refusal& r = report.refused[i];
        const wchar_t* key = r.result == ReadAll::Result::kUpdating ? L"IDS_MARK_READ_UPDATING"
                                                                    : L"IDS_MARK_READ_FILES_KEPT";
        text += platform::FormatW(GetLocaleText(key, kModuleTextsName, container_).c_str(),
                                  r.channel->GetName().c_str()) +
                L"\n";
    }
    if (report.refused.size() > 10)
        text += L"...\n";
    ShowMessageBox(container_, text,
                   GetLocaleText(L"IDS_TEXT_PROMPT", kModuleTextsName, container_), kMbIconError);
}

void CRssChannelView::DeleteArticlesCommand() {
    CatalogueNode* node = NodeOf(GetSelection());
    if (!model_ || !node || !node->channel)
        return;
    auto text = [this](const wchar_t* key, const wchar_t* fallback) {
        return CRssDialog::HostText(container_, key, fallback).ToStdWstring();
    };
    const std::wstring name = node->channel->GetName();
    const std::wstring caption = text(L"IDS_DELETE_INFO", L"删除");
    if (ShowMessageBox(container_,
                       platform::FormatW(
                           text(L"IDS_DELETE_ARTICLES_CONFIRM", L"删除“%s”的所有文章吗？").c_str(),
                           name.c_str()),
                       caption, kMbOkCancelQuestionTopmost) != kIdOk ||
        model_->DeleteChannelArticles(node->channel))
        return;
    const bool updating = model_->LastDelete().stop == CatalogueModel::DeleteStop::kUpdating;
    ShowMessageBox(container_,
                   platform::FormatW(updating ? text(L"IDS_DELETE_ARTICLES_UPDATING",
                                                     L"“%s”的文章未被删除：该频道正在更新。")
                                                    .c_str()
                                              : text(L"IDS_DELETE_ARTICLES_FILES_KEPT",
                                                     L"“%s”的文章未被删除：无法删除其文件。")
                                                    .c_str(),
                                     name.c_str()),
                   caption, kMbIconError);
}
