#include "HostFrame.h"

#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "PluginEntries.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"

#include <fstream>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/statusbr.h>

namespace {

enum HostCommand {
    kAddChannel = wxID_HIGHEST + 1,
    kAddGroup,
    kRename,
    kDelete,
    kUpdate,
    kUpdateAll,
    kStop,
    kMarkRead,
    kMarkAllRead,
    kOptions,
    kShowToolBar,
    kAutoUpdate,
    kLogging,
    kImport,
    kExport,
    kEnglish,
    kChinese,
};

struct CommandText {
    int id;
    const char* english; // UTF-8, as the Chinese text
    const char* chinese;
    const char* keys; // the reader's key for the command, shown beside it (or null)
};

const CommandText kCommands[] = {
    {kAddChannel, "&Add channel...", "添加频道(&A)...", "Ctrl+N"},
    {kAddGroup, "Add &group...", "添加频道组(&G)...", nullptr},
    {kRename, "&Rename...", "重命名(&R)...", "F2"},
    {kDelete, "&Delete", "删除(&D)", "Ctrl+Delete"},
    {kUpdate, "&Update channel", "更新频道(&U)", "Shift+F5"},
    {kUpdateAll, "Update &all", "更新所有频道(&L)", "Ctrl+F5"},
    {kStop, "&Stop updates", "停止更新(&S)", "Ctrl+S"},
    {kMarkRead, "&Mark read", "标记为已读(&M)", "Ctrl+Shift+A"},
    {kMarkAllRead, "Mark all channels r&ead", "所有频道标记为已读(&E)", nullptr},
    {kOptions, "&Options...", "选项(&O)...", "Ctrl+0"},
    {kShowToolBar, "Show reader &toolbar", "显示阅读器工具栏(&T)", nullptr},
    {kAutoUpdate, "Automatic &update", "自动更新(&U)", nullptr},
    {kLogging, "&Logging", "记录日志(&L)", nullptr},
    {kImport, "&Import channels...", "导入频道(&I)...", nullptr},
    {kExport, "&Export channels...", "导出频道(&E)...", nullptr},
    {kEnglish, "English", "English", nullptr},
    {kChinese, "中文", "中文", nullptr},
    {wxID_EXIT, "&Quit", "退出(&Q)", "Ctrl+Q"},
};

wxString TextOf(int id, HostLanguage language) {
    for (const CommandText& c : kCommands)
        if (c.id == id) {
            wxString text =
                wxString::FromUTF8(language == HostLanguage::kChinese ? c.chinese : c.english);
            if (c.keys)
                text << '\t' << c.keys;
            return text;
        }
    return wxString();
}

// A text of the host's language. The host's literals are UTF-8, read as such whatever the
// locale (a plain char literal would be read in the locale's encoding).
wxString Localized(HostLanguage language, const char* english, const char* chinese) {
    return wxString::FromUTF8(language == HostLanguage::kChinese ? chinese : english);
}

// A value of the reader's settings file, as the host sees it (the file is the reader's).
bool SettingOn(const wchar_t* key) {
    const std::wstring path = HostAppFolder() + L"rss/RssUserCfg/Quorvel.ini";
    return platform::ProfileFile::ReadString(path, L"Common", key, L"0") == L"1";
}

} // namespace

HostFrame::HostFrame(HostContainer& container, PluginEntries& plugin,
                     const platform::ResourceModule* resources, HostLanguage language)
    : wxFrame(nullptr, wxID_ANY, "Tessavin", wxDefaultPosition, wxSize(1000, 680)),
      container_(container), plugin_(plugin), resources_(resources), language_(language),
      progress_(this) {
    BuildMenus();
    CreateStatusBar(1);
    area_ = new wxPanel(this, wxID_ANY);
    area_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        ForwardSize();
        event.Skip();
    });
    Bind(wxEVT_MENU, &HostFrame::OnCommand, this);
    Bind(wxEVT_TIMER, &HostFrame::OnProgress, this);
    for (int id : {kShowToolBar, kAutoUpdate, kLogging, kImport, kMarkRead, kMarkAllRead})
        Bind(wxEVT_UPDATE_UI, &HostFrame::OnUpdateChecks, this, id);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        progress_.Stop();
        if (running_) {
            SaveSettings();
            plugin_.ExitRSS(); // the reader's windows, workers and catalogue go first
        }
        running_ = false;
        event.Skip();
    });
}

std::wstring HostFrame::SettingsPath() {
    return HostAppFolder() + L"TessavinHost.ini";
}

void HostFrame::LoadSettings() {
    const std::wstring path = SettingsPath();
    if (!platform::FileExists(path))
        platform::ProfileFile::WriteString(path, L"rss", L"userchanneldefine", L"1");
    container_.SetHostValue(
        L"rss", L"userchanneldefine",
        platform::ProfileFile::ReadString(path, L"rss", L"userchanneldefine", L""));
    storedTreeWidth_ = platform::ProfileFile::ReadString(path, L"rss", L"treewidth", L"");
    if (!storedTreeWidth_.empty())
        container_.SetHostValue(L"rss", L"treewidth", storedTreeWidth_);
}

void HostFrame::SaveSettings() {
    const int width = plugin_.RSSGetTreeWidth ? plugin_.RSSGetTreeWidth() : 0;
    if (width <= 0 || std::to_wstring(width) == storedTreeWidth_)
        return;
    storedTreeWidth_ = std::to_wstring(width);
    platform::ProfileFile::WriteString(SettingsPath(), L"rss", L"treewidth", storedTreeWidth_);
}

void HostFrame::BuildMenus() {
    auto* bar = new wxMenuBar();
    auto* channels = new wxMenu();
    for (int id : {kAddChannel, kAddGroup, kRename, kDelete})
        channels->Append(id, TextOf(id, language_));
    channels->AppendSeparator();
    for (int id : {kUpdate, kUpdateAll, kStop})
        channels->Append(id, TextOf(id, language_));
    channels->AppendSeparator();
    for (int id : {kMarkRead, kMarkAllRead})
        channels->Append(id, TextOf(id, language_));
    channels->AppendSeparator();
    channels->Append(kImport, TextOf(kImport, language_))
        ->Enable(plugin_.RSSImportChannels != nullptr);
    channels->Append(kExport, TextOf(kExport, language_));
    channels->AppendSeparator();
    channels->Append(wxID_EXIT, TextOf(wxID_EXIT, language_));
    auto* tools = new wxMenu();
    tools->Append(kOptions, TextOf(kOptions, language_));
    tools->AppendCheckItem(kShowToolBar, TextOf(kShowToolBar, language_))->Check(toolBarShown_);
    tools->AppendCheckItem(kAutoUpdate, TextOf(kAutoUpdate, language_))->Check(AutoUpdateOn());
    tools->AppendCheckItem(kLogging, TextOf(kLogging, language_))->Check(LoggingOn());
    auto* languages = new wxMenu();
    languages->AppendRadioItem(kEnglish, TextOf(kEnglish, language_))
        ->Check(language_ == HostLanguage::kEnglish);
    languages->AppendRadioItem(kChinese, TextOf(kChinese, language_))
        ->Check(language_ == HostLanguage::kChinese);
    tools->AppendSubMenu(languages, Localized(language_, "Language", "语言"));
    bar->Append(channels, Localized(language_, "&Channels", "频道(&C)"));
    bar->Append(tools, Localized(language_, "&Tools", "工具(&T)"));
    SetMenuBar(bar);
}

bool HostFrame::AutoUpdateOn() const {
    if (!running_)
        return SettingOn(L"UpdateState"); // what the reader starts with
    // A plug-in without the entry: the stored setting, which the reader keeps in step.
    return plugin_.RSSGetAutoUpdate ? plugin_.RSSGetAutoUpdate() != 0 : SettingOn(L"UpdateState");
}

bool HostFrame::LoggingOn() const {
    // Every start of the reader begins with logging off.
    return running_ && plugin_.RSSGetLogging && plugin_.RSSGetLogging() != 0;
}

void HostFrame::OnUpdateChecks(wxUpdateUIEvent& event) {
    switch (event.GetId()) {
    case kShowToolBar:
        return event.Check(toolBarShown_);
    case kAutoUpdate:
        return event.Check(AutoUpdateOn());
    case kLogging:
        return event.Check(LoggingOn());
    case kImport:
        return event.Enable(running_ && plugin_.RSSImportChannels != nullptr);
    case kMarkRead:
    case kMarkAllRead:
        return event.Enable(running_ && plugin_.RSSMarkAllRead != nullptr);
    default:
        event.Skip();
    }
}

void HostFrame::ExportChannels() {
    const wxString title = Localized(language_, "Export channels", "导出频道");
    wxFileDialog dialog(this, title, wxEmptyString, "channels.opml", "OPML (*.opml)|*.opml",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    if (!plugin_.RSSExportChannels(dialog.GetPath().ToStdWstring().c_str()))
        wxMessageBox(Localized(language_, "The file cannot be written.", "无法写入该文件。"), title,
                     wxOK | wxICON_ERROR, this);
}

bool HostFrame::StartReader() {
    LoadSettings();
    running_ = plugin_.RSSRun(area_, const_cast<platform::ResourceModule*>(resources_),
                              &container_) != nullptr;
    ForwardSize();
    progress_.Start(250);
    if (!startedFile_.empty()) {
        Update(); // painted before the file says so
        CallAfter([this] { std::ofstream(startedFile_) << "started\n"; });
    }
    return running_;
}

void HostFrame::ForwardSize() {
    if (!running_)
        return;
    const wxSize size = area_->GetClientSize();
    // The reader stands at (3, 4) in the area; it keeps the same margin on the far sides.
    plugin_.SetSize(0, std::max(0, size.GetWidth() - 6), std::max(0, size.GetHeight() - 8));
}

void HostFrame::ApplyLanguage(HostLanguage language) {
    language_ = language;
    AddHostTexts(container_, language);
    plugin_.SetPluginContainer(&container_); // the reader takes the new texts
    wxMenuBar* old = GetMenuBar();
    BuildMenus();
    delete old;
}

void HostFrame::OnCommand(wxCommandEvent& event) {
    switch (event.GetId()) {
    case kAddChannel:
        return plugin_.AddChannel();
    case kAddGroup:
        return plugin_.Addgroup();
    case kRename:
        return plugin_.Rename();
    case kDelete:
        return plugin_.Delete();
    case kUpdate:
        return plugin_.UpdateChannel();
    case kUpdateAll:
        return plugin_.Updateall();
    case kStop:
        return plugin_.UpdateStop();
    case kOptions:
        return plugin_.SetConfig();
    case kShowToolBar:
        toolBarShown_ = event.IsChecked();
        return plugin_.ShowToolBar(toolBarShown_ ? 1 : 0);
    case kAutoUpdate:
        return plugin_.EnableAutoUpdate(event.IsChecked() ? 1 : 0);
    case kLogging:
        return plugin_.RSSToggleLogging();
    case kImport:
        if (plugin_.RSSImportChannels)
            plugin_.RSSImportChannels();
        return;
    case kExport:
        return ExportChannels();
    case kMarkRead:
    case kMarkAllRead:
        if (plugin_.RSSMarkAllRead)
            plugin_.RSSMarkAllRead(event.GetId() == kMarkAllRead ? 1 : 0);
        return;
    case kEnglish:
        return ApplyLanguage(HostLanguage::kEnglish);
    case kChinese:
        return ApplyLanguage(HostLanguage::kChinese);
    case wxID_EXIT:
        Close();
        return;
    default:
        event.Skip();
    }
}

void HostFrame::OnProgress(wxTimerEvent&) {
    int done = 0, total = 0, failed = 0, stopped = 0;
    if (!running_)
        return;
    // A plug-in without the newer entry counts stopped channels as updated.
    const bool counted = plugin_.RSSGetUpdateCounts
                             ? plugin_.RSSGetUpdateCounts(&done, &total, &failed, &stopped) != 0
                             : plugin_.RSSGetUpdateProgress(&done, &total, &failed) != 0;
    if (!counted)
        return;
    wxString text;
    if (total > 0 && done < total)
        text = wxString::Format(Localized(language_, "Updating %d of %d", "正在更新 %d / %d"),
                                done + 1, total);
    else if (total > 0 && stopped > 0)
        text = wxString::Format(Localized(language_, "Updated %d channels, %d failed, %d stopped",
                                          "已更新 %d 个频道，%d 个失败，%d 个已停止"),
                                total - stopped, failed, stopped);
    else if (total > 0)
        text = wxString::Format(
            Localized(language_, "Updated %d channels, %d failed", "已更新 %d 个频道，%d 个失败"),
            total, failed);
    else
        text = Localized(language_, "Ready", "就绪");
    if (GetStatusBar()->GetStatusText() != text)
        SetStatusText(text);
    // Ready: the first update of all channels ended, or none started within two seconds.
    const bool finished = total > 0 ? done >= total : ++quietTicks_ > 8;
    if (finished && !readyWritten_ && !readyFile_.empty()) {
        readyWritten_ = true;
        CallAfter([this] { std::ofstream(readyFile_) << "ready\n"; });
    }
}
