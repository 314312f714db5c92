#include "ui/MainFrame.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "engine/ThreadPool.h"
#include "host/HostServices.h"
#include "opml/CatalogueImport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ResourceModule.h"
#include "reader/ChannelItems.h"
#include "reader/ViewPage.h"
#include "search/SearchIndex.h"
#include "ui/ArtTable.h"
#include "ui/DesktopNotice.h"
#include "ui/IEFrame.h"
#include "ui/IconImage.h"
#include "ui/ItemViewList.h"
#include "ui/OptionsDlg.h"
#include "ui/RssChannelView.h"
#include "ui/RssDialog.h"
#include "ui/RssSplitterWnd.h"
#include "update/UpdateScheduler.h"

#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

namespace {

// Each toolbar button: its id, the text key of its tool tip and its command.
struct Tool {
    int id;
    const wchar_t* key;
    CMainFrame::Command command;
};
const Tool kTools[] = {{11600, L"IDS_ADD_CHANNEL", CMainFrame::Command::kAddChannel},
                       {11601, L"IDS_ADD_CHANNEL_GROUP", CMainFrame::Command::kAddGroup},
                       {11602, L"IDS_RENAME", CMainFrame::Command::kRename},
                       {11603, L"IDS_PROPERTIES", CMainFrame::Command::kProperties},
                       {11604, L"IDS_DELETE", CMainFrame::Command::kDelete},
                       {11606, L"IDS_UPDATE_CHANNEL", CMainFrame::Command::kUpdateSelected},
                       {11607, L"IDS_UPDATE_ALL", CMainFrame::Command::kUpdateAll},
                       {11608, L"IDS_STOP_ALL_UPDATE", CMainFrame::Command::kStopAll},
                       {11212, L"IDS_OPTIONS", CMainFrame::Command::kOptions}};

// The tree's width the host keeps ([rss] treewidth): a whole number of pixels, else 0.
NoticeTexts NoticeTextsOf(IPluginContainer* container) {
    auto text = [container](const wchar_t* key, const wchar_t* fallback) {
        return CRssDialog::HostText(container, key, fallback).ToStdWstring();
    };
    NoticeTexts texts;
    texts.oneItem = text(L"IDS_NOTICE_ONE_NEW_ITEM", L"1 个频道有 1 条新文章");
    texts.oneChannel = text(L"IDS_NOTICE_NEW_ITEMS_ONE_CHANNEL", L"1 个频道有 {items} 条新文章");
    texts.many = text(L"IDS_NOTICE_NEW_ITEMS", L"{channels} 个频道有 {items} 条新文章");
    return texts;
}

int StoredTreeWidth(IPluginContainer* container) {
    const std::wstring text = ReadHostConfigValue(L"rss", L"treewidth", container);
    if (text.empty() || text.size() > 6)
        return 0;
    int width = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return 0;
        width = width * 10 + (c - L'0');
    }
    return width;
}

} // namespace

CMainFrame::CMainFrame(wxWindow* parent, IPluginContainer* container)
    : wxPanel(parent, wxID_ANY, wxPoint(3, 4), parent->GetClientSize(), wxBORDER_NONE),
      container_(container), target_(this) {
    IconImage::AddHandlers(); // the channels' site icons decode with them
    SetBackgroundColour(CRssSplitterWnd::kBackground);
    CreateClient();
    CreateToolBar();
    statusBar_ = new wxStatusBar(this, wxID_ANY);
    statusBar_->SetFieldsCount(2);
    statusBar_->SetStatusText(" ", 0);
    statusBar_->SetStatusText(" ", 1);
    statusBar_->Hide();

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(toolBar_, 0, wxEXPAND);
    sizer->Add(splitter_, 1, wxEXPAND);
    sizer->Add(statusBar_, 0, wxEXPAND);
    SetSizer(sizer);
    Layout();

    startAutoUpdate_ = CConfig().ReadUpdateState();
    channelView_->SetAutoUpdate(startAutoUpdate_ != 0);
    Bind(EVT_TESSAVIN_MESSAGE, [](wxThreadEvent&) {}); // 11904: nothing to do
    Bind(wxEVT_CHAR_HOOK, &CMainFrame::OnCharHook, this);
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        if (event.IsShown())
            OnFirstShow();
        event.Skip();
    });
    for (const Tool& tool : kTools)
        Bind(
            wxEVT_TOOL, [this, tool](wxCommandEvent&) { RunCommand(tool.command); }, tool.id);
    // Created shown: the first showing is now, once the host's loop runs.
    CallAfter([this] {
        if (IsShown())
            OnFirstShow();
    });
}

CMainFrame::~CMainFrame() {
    if (updates_)
        updates_->Close(); // no new update starts; the update-all walk has ended
    if (model_)
        model_->Close();
    target_.Close();
    paneTarget_.Close();
    DestroyChildren(); // the windows go first, their targets closed
    channelView_ = nullptr;
    pool_.reset();  // every worker joined
    index_.reset(); // what the updates queued is written
    importer_.reset();
    updates_.reset();
    model_.reset(); // then the records
    if (onDestroyed)
        onDestroyed();
}

void CMainFrame::CreateClient() {
    CConfig config;
    int threads = config.ReadThreadNum();
    if (threads > 30 || threads < 1) {
        threads = threads > 30 ? 30 : 1;
        if (config.WriteThreadNum(threads) == 0)
            LogPrintf(L"Failed to save thread number to file");
    }
    threadCount_ = static_cast<unsigned>(threads);
    pool_ = std::make_unique<CThreadPool>(threadCount_);
    LogPrintf(L"Succeed to create number of %d worker thread", threads);

    splitter_ = new CRssSplitterWnd(this);
    leftPane_ = new wxPanel(splitter_, wxID_ANY);
    leftPane_->SetBackgroundColour(*wxWHITE);
    viewList_ = new CItemViewList(leftPane_, container_);
    channelView_ = new CRssChannelView(leftPane_, &viewTarget_);
    channelView_->SetContainer(container_);
    auto* leftSizer = new wxBoxSizer(wxVERTICAL);
    leftSizer->Add(viewList_, 0, wxEXPAND);
    leftSizer->Add(new wxStaticLine(leftPane_), 0, wxEXPAND);
    // The tree takes the rest of the pane, never its best size (all of its rows): rows past
    // the pane's end are scrolled to.
    channelView_->SetMinSize(wxSize(1, 1));
    leftSizer->Add(channelView_, 1, wxEXPAND);
    leftPane_->SetSizer(leftSizer);
    viewList_->openView = [this](CItemViewList::Entry entry) {
        OpenItemView(static_cast<int>(entry == CItemViewList::kUnread ? ViewPage::Kind::kUnread
                                                                      : ViewPage::Kind::kFlagged));
    };
    readingPane_ = new CIEFrame(splitter_, container_);
    paneTarget_.Attach(readingPane_);
    readingPane_->Bind(EVT_TESSAVIN_MESSAGE, [this](wxThreadEvent& event) {
        const platform::PostedMessage message = WxMessageTarget::MessageOf(event);
        if (message.message == kMsgShowChannelPage)
            readingPane_->ShowChannelPage(reinterpret_cast<CChannel*>(message.lParam));
        else if (message.message == kMsgChannelPageWritten)
            readingPane_->ReloadPageOfChannel(reinterpret_cast<CChannel*>(message.lParam));
    });
    readingPane_->SetTreeTarget(channelView_->Target());
    channelView_->SetReadingPane(&paneTarget_);
    channelView_->closePage = [this](CChannel* channel) {
        readingPane_->ClosePageOfChannel(channel);
    };
    channelView_->reloadPage = [this](CChannel* channel) {
        readingPane_->ReloadPageOfChannel(channel);
    };
    readingPane_->findChannel = [this](uint32_t id) {
        return model_ ? model_->FindChannel(id) : nullptr;
    };
    readingPane_->nextUnreadChannel = [this](CChannel* current) {
        return NextUnreadChannel(current);
    };
    readingPane_->onSearch = [this](const std::wstring& words) {
        OpenItemView(static_cast<int>(ViewPage::Kind::kSearch), words);
    };
    readingPane_->refreshItemView = [this](int kind) { OpenItemView(kind, lastSearch_); };
    splitter_->SetPanes(leftPane_, readingPane_);
    splitter_->RestoreLeftWidth(StoredTreeWidth(container_));

    UpdateScheduler::Targets targets;
    targets.view = channelView_->Target();
    targets.frame = &target_;
    targets.readingPane = &paneTarget_;
    model_ = std::make_unique<CatalogueModel>(channelView_);
    updates_ = std::make_unique<UpdateScheduler>(*model_, targets, pool_.get());
    notice_ = std::make_unique<CDesktopNotice>(this);
    updates_->SetNoticeSink(notice_.get(), NoticeTextsOf(container_));
    importer_ = std::make_unique<CatalogueImport>(*model_, &target_);
    channelView_->SetModel(model_.get(), updates_.get(), importer_.get());
    if (!model_->Open()) {
        LogPrintf(L"Failed to open the catalogue: %s", model_->OpenProblem().c_str());
        ShowMessageBox(container_, model_->OpenProblem(), L"Tessavin", kMbIconError);
        channelView_->SetModel(nullptr, nullptr, nullptr);
    } else {
        // The word index of every channel's items (rebuilt in the background when missing),
        // before any update starts.
        index_ = std::make_unique<SearchIndex>();
        if (index_->Open(model_->DataFolder(), ChannelItems::IndexSource(*model_))) {
            model_->SetIndex(index_.get());
            readingPane_->SetIndex(index_.get());
        }
        importer_->ImportDefaultListIfNew();
        if (!model_->OpenProblem().empty())
            ShowMessageBox(container_, model_->OpenProblem(), L"Tessavin", kMbIconError);
    }
    readingPane_->SetDataFolder(model_->DataFolder());
    if (!channelView_->IsEmpty())
        channelView_->ExpandAll();
}

void CMainFrame::OpenItemView(int kind, const std::wstring& words) {
    if (!model_ || model_->DataFolder().empty())
        return;
    const auto viewKind = static_cast<ViewPage::Kind>(kind);
    std::vector<ViewEntry> entries;
    std::wstring title;
    if (viewKind == ViewPage::Kind::kSearch) {
        lastSearch_ = words;
        entries = SearchEntries(words);
        title = platform::FormatW(
            GetLocaleText(L"IDS_VIEW_SEARCH", kModuleTextsName, container_).c_str(), words.c_str());
    } else {
        entries = ViewPage::Collect(*model_, viewKind);
        title = GetLocaleText(viewKind == ViewPage::Kind::kUnread ? L"IDS_VIEW_UNREAD"
                                                                  : L"IDS_VIEW_FLAGGED",
                              kModuleTextsName, container_);
    }
    const std::wstring path = model_->DataFolder() + L"/" + ViewPage::FileName(viewKind);
    if (!platform::ReplaceFileContent(path, ViewPage::Write(entries))) {
        LogPrintf(L"Failed to write the view %s", path.c_str());
        return;
    }
    readingPane_->ShowItemView(kind, title, path);
}

std::vector<ViewEntry> CMainFrame::SearchEntries(const std::wstring& words) const {
    if (!index_)
        return {};
    return ViewPage::Resolve(
        *model_, index_->Query(platform::WideToUtf8(words), 0, ViewPage::kMaxSearchHits));
}

CChannel* CMainFrame::NextUnreadChannel(CChannel* current) const {
    if (!model_)
        return nullptr;
    const std::vector<CChannel*> channels = ChannelItems::InTreeOrder(model_->TopLevel());
    auto at = std::find(channels.begin(), channels.end(), current);
    const size_t start = at == channels.end() ? 0 : static_cast<size_t>(at - channels.begin()) + 1;
    for (size_t k = 0; k < channels.size(); ++k) {
        CChannel* channel = channels[(start + k) % channels.size()];
        uint32_t unread = 0, total = 0;
        channel->GetCounts(unread, total);
        if (channel != current && unread > 0)
            return channel;
    }
    return nullptr;
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new wxToolBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    toolBar_->SetToolBitmapSize(wxSize(16, 16));
    const platform::ResourceModule* module = platform::ResourceModule::Active();
    if (!module || module->Toolbar(kToolbarId).empty())
        LogPrintf(L"Failed to create toolbar");
    for (const auto& button :
         module ? module->Toolbar(kToolbarId) : std::vector<platform::ResourceModule::Item>())
        toolBar_->AddTool(static_cast<int>(button.command), wxEmptyString,
                          ArtTable::Bitmap(button.icon));
    ApplyToolTips();
    toolBar_->Realize();
}

std::wstring CMainFrame::ToolTipText(int commandId) const {
    for (const Tool& tool : kTools)
        if (tool.id == commandId)
            return GetLocaleText(tool.key, kModuleTextsName, container_).substr(0, kToolTipChars);
    return std::wstring();
}

void CMainFrame::ApplyToolTips() {
    for (const Tool& tool : kTools)
        toolBar_->SetToolShortHelp(tool.id, wxString(ToolTipText(tool.id).c_str()));
}

void CMainFrame::SetContainer(IPluginContainer* container) {
    container_ = container;
    if (readingPane_)
        readingPane_->SetContainer(container);
    if (toolBar_)
        ApplyToolTips();
}

void CMainFrame::ShowToolBar(bool show) {
    toolBar_->Show(show);
    Layout();
}

void CMainFrame::OnSize(unsigned, int width, int height) {
    SetSize(3, 4, width, height);
    Layout();
    Refresh();
}

void CMainFrame::ToggleLogging() {
    loggingOn = loggingOn ? 0 : 1;
    CConfig().WriteLogState(loggingOn);
}

void CMainFrame::OnFirstShow() {
    if (!firstShow_)
        return;
    firstShow_ = false;
    if (startAutoUpdate_ != 0)
        RunCommand(Command::kUpdateAll);
}

void CMainFrame::OnOptions() {
    if (!channelView_)
        return;
    COptionsDlg dialog(this, container_);
    if (channelView_->RunDialog(dialog) != wxID_OK)
        return;
    dialog.Save();
    CConfig config;
    channelView_->SetAutoUpdate(config.ReadUpdateState() != 0);
    const int threads = config.ReadThreadNum();
    if (threads >= 1 && pool_) {
        pool_->SetThreadNum(static_cast<unsigned>(threads));
        threadCount_ = static_cast<unsigned>(threads);
    }
    LogPrintf(L"Success to save Configtion");
}

void CMainFrame::RunCommand(Command command) {
    if (commandObserver)
        commandObserver(command);
    if (!channelView_)
        return;
    switch (command) {
    case Command::kDelete:
        channelView_->DeleteCommand();
        break;
    case Command::kOptions:
        OnOptions();
        break;
    case Command::kAddChannel:
        channelView_->AddChannelCommand();
        break;
    case Command::kAddGroup:
        channelView_->AddGroup();
        break;
    case Command::kRename:
        channelView_->RenameNode();
        break;
    case Command::kProperties:
        channelView_->Properties();
        break;
    case Command::kStopAll:
        channelView_->StopAll();
        break;
    case Command::kUpdateAll:
        channelView_->UpdateAll();
        break;
    case Command::kUpdateSelected:
        channelView_->UpdateSelected();
        break;
    case Command::kMarkRead:
    case Command::kMarkAllRead:
        channelView_->MarkReadCommand(command == Command::kMarkAllRead);
        break;
    }
}

void CMainFrame::OnCharHook(wxKeyEvent& event) {
    // Ctrl means Ctrl alone; plain means no Ctrl, Shift or Alt.
    const int modifiers = event.GetModifiers() & (wxMOD_CONTROL | wxMOD_SHIFT | wxMOD_ALT);
    const bool ctrl = modifiers == wxMOD_CONTROL;
    const bool plain = modifiers == wxMOD_NONE;
    const bool shift = modifiers == wxMOD_SHIFT;
    switch (event.GetKeyCode()) {
    case WXK_DELETE:
        if (ctrl)
            return RunCommand(Command::kDelete);
        break;
    case '0':
        if (ctrl)
            return RunCommand(Command::kOptions);
        break;
    case 'N':
        if (ctrl)
            return RunCommand(Command::kAddChannel);
        break;
    case 'A':
        // On the tree: the selected node's items, or all of them with nothing selected.
        if (modifiers == (wxMOD_CONTROL | wxMOD_SHIFT) && wxWindow::FindFocus() == channelView_)
            return RunCommand(Command::kMarkRead);
        break;
    case 'S':
        if (ctrl)
            return RunCommand(Command::kStopAll);
        break;
    case WXK_F2:
        if (plain)
            return RunCommand(Command::kRename);
        break;
    case WXK_F5:
        if (ctrl)
            return RunCommand(Command::kUpdateAll);
        if (shift)
            return RunCommand(Command::kUpdateSelected);
        break;
    case WXK_F11:
        if (plain)
            return; // consumed
        break;
    default:
        break;
    }
    event.Skip();
}
