#include "HostFrame.h"

#include "HostContainer.h"
#include "PluginEntries.h"
#include "platform/AppFolder.h"
#include "platform/ProfileFile.h"

#include <fstream>
#include <wx/artprov.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

namespace {

enum HostCommand {
    kAddChannel = wxID_HIGHEST + 1,
    kAddGroup,
    kRename,
    kDelete,
    kUpdate,
    kUpdateAll,
    kStop,
    kOptions,
    kShowToolBar,
    kAutoUpdate,
    kLogging,
    kExport,
    kEnglish,
    kChinese,
};

struct CommandText {
    int id;
    const char* english;
    const char* chinese;
    const char* art; // toolbar icon, or null for menu-only commands
};

const CommandText kCommands[] = {
    {kAddChannel, "&Add channel...", "添加频道(&A)...", "wxART_NEW"},
    {kAddGroup, "Add &group...", "添加频道组(&G)...", "wxART_NEW_DIR"},
    {kRename, "&Rename...", "重命名(&R)...", "wxART_EDIT"},
    {kDelete, "&Delete", "删除(&D)", "wxART_DELETE"},
    {kUpdate, "&Update channel", "更新频道(&U)", "wxART_REFRESH"},
    {kUpdateAll, "Update &all", "更新所有频道(&L)", "wxART_REDO"},
    {kStop, "&Stop updates", "停止更新(&S)", "wxART_STOP"},
    {kOptions, "&Options...", "选项(&O)...", "wxART_HELP_SETTINGS"},
    {kShowToolBar, "Show reader &toolbar", "显示阅读器工具栏(&T)", nullptr},
    {kAutoUpdate, "Automatic &update", "自动更新(&U)", nullptr},
    {kLogging, "&Logging", "记录日志(&L)", nullptr},
    {kExport, "&Export channels...", "导出频道(&E)...", nullptr},
    {kEnglish, "English", "English", nullptr},
    {kChinese, "中文", "中文", nullptr},
};

wxString TextOf(int id, HostLanguage language) {
    for (const CommandText& c : kCommands)
        if (c.id == id)
            return wxString::FromUTF8(language == HostLanguage::kChinese ? c.chinese : c.english);
    return wxString();
}

// A value of the reader's settings file, as the host sees it (the file is the reader's).
bool SettingOn(const wchar_t* key) {
    const std::wstring path = platform::ExecutableFolder() + L"rss/RssUserCfg/Quorvel.ini";
    return platform::ProfileFile::ReadString(path, L"Common", key, L"0") == L"1";
}

} // namespace

HostFrame::HostFrame(HostContainer& container, PluginEntries& plugin,
                     const platform::ResourceModule* resources, HostLanguage language)
    : wxFrame(nullptr, wxID_ANY, "Tessavin", wxDefaultPosition, wxSize(1000, 680)),
      container_(container), plugin_(plugin), resources_(resources), language_(language),
      progress_(this) {
    BuildMenus();
    BuildToolBar();
    CreateStatusBar(1);
    area_ = new wxPanel(this, wxID_ANY);
    area_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        ForwardSize();
        event.Skip();
    });
    Bind(wxEVT_MENU, &HostFrame::OnCommand, this);
    Bind(wxEVT_TOOL, &HostFrame::OnCommand, this);
    Bind(wxEVT_TIMER, &HostFrame::OnProgress, this);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        progress_.Stop();
        if (running_)
            plugin_.ExitRSS(); // the reader's windows, workers and catalogue go first
        running_ = false;
        event.Skip();
    });
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
    channels->Append(kExport, TextOf(kExport, language_));
    channels->AppendSeparator();
    channels->Append(wxID_EXIT);
    auto* tools = new wxMenu();
    tools->Append(kOptions, TextOf(kOptions, language_));
    tools->AppendCheckItem(kShowToolBar, TextOf(kShowToolBar, language_))->Check(true);
    tools->AppendCheckItem(kAutoUpdate, TextOf(kAutoUpdate, language_))
        ->Check(SettingOn(L"UpdateState"));
    tools->AppendCheckItem(kLogging, TextOf(kLogging, language_))->Check(SettingOn(L"LogState"));
    auto* languages = new wxMenu();
    languages->AppendRadioItem(kEnglish, TextOf(kEnglish, language_))
        ->Check(language_ == HostLanguage::kEnglish);
    languages->AppendRadioItem(kChinese, TextOf(kChinese, language_))
        ->Check(language_ == HostLanguage::kChinese);
    tools->AppendSubMenu(languages, language_ == HostLanguage::kChinese ? "语言" : "Language");
    const bool zh = language_ == HostLanguage::kChinese;
    bar->Append(channels, wxString::FromUTF8(zh ? "频道(&C)" : "&Channels"));
    bar->Append(tools, wxString::FromUTF8(zh ? "工具(&T)" : "&Tools"));
    SetMenuBar(bar);
}

void HostFrame::ExportChannels() {
    const bool zh = language_ == HostLanguage::kChinese;
    wxFileDialog dialog(this, wxString::FromUTF8(zh ? "导出频道" : "Export channels"),
                        wxEmptyString, "channels.opml", "OPML (*.opml)|*.opml",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    if (!plugin_.RSSExportChannels(dialog.GetPath().ToStdWstring().c_str()))
        wxMessageBox(wxString::FromUTF8(zh ? "无法写入该文件。" : "The file cannot be written."),
                     wxString::FromUTF8(zh ? "导出频道" : "Export channels"), wxOK | wxICON_ERROR,
                     this);
}

void HostFrame::BuildToolBar() {
    wxToolBar* tools = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    tools->SetToolBitmapSize(wxSize(22, 22));
    for (const CommandText& c : kCommands) {
        if (!c.art)
            continue;
        wxString label = TextOf(c.id, language_);
        label.Replace("&", "");
        tools->AddTool(c.id, label, wxArtProvider::GetBitmap(c.art, wxART_TOOLBAR, wxSize(22, 22)),
                       label);
    }
    tools->Realize();
}

bool HostFrame::StartReader() {
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
        return plugin_.ShowToolBar(event.IsChecked() ? 1 : 0);
    case kAutoUpdate:
        return plugin_.EnableAutoUpdate(event.IsChecked() ? 1 : 0);
    case kLogging:
        return plugin_.RSSToggleLogging();
    case kExport:
        return ExportChannels();
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
    int done = 0, total = 0, failed = 0;
    if (!running_ || !plugin_.RSSGetUpdateProgress(&done, &total, &failed))
        return;
    const bool zh = language_ == HostLanguage::kChinese;
    wxString text;
    if (total > 0 && done < total)
        text = zh ? wxString::Format(wxString::FromUTF8("正在更新 %d / %d"), done + 1, total)
                  : wxString::Format("Updating %d of %d", done + 1, total);
    else if (total > 0)
        text =
            zh ? wxString::Format(wxString::FromUTF8("已更新 %d 个频道，%d 个失败"), total, failed)
               : wxString::Format("Updated %d channels, %d failed", total, failed);
    else
        text = zh ? wxString::FromUTF8("就绪") : wxString("Ready");
    if (GetStatusBar()->GetStatusText() != text)
        SetStatusText(text);
    // Ready: the first update of all channels ended, or none started within two seconds.
    const bool finished = total > 0 ? done >= total : ++quietTicks_ > 8;
    if (finished && !readyWritten_ && !readyFile_.empty()) {
        readyWritten_ = true;
        CallAfter([this] { std::ofstream(readyFile_) << "ready\n"; });
    }
}
