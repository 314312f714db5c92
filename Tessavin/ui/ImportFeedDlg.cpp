#include "ui/ImportFeedDlg.h"

#include "config/LogFile.h"
#include "opml/CatalogueImport.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

const wchar_t* const CImportFeedDlg::kFilter =
    L"OPML files(*.opml)|*.opml|XML files(*.xml)|*.xml||";

CImportFeedDlg::CImportFeedDlg(wxWindow* parent, IPluginContainer* container)
    : CRssDialog(parent, container, L"IDS_IMPORT_FEED_FILE", L"导入频道文件") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    AddEdit(sizer, 11341, L"IDS_PLS_INPUT_ADDRESS_NEW_CHANNEL_OPML",
            L"请输入种子文件或网站的URL，或选择本地的种子文件", kPath);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    verify_ =
        new wxCheckBox(this, kVerify, Text(L"IDS_CHECK_AVAILABILITY", L"验证种子文件URL的有效性"));
    row->Add(verify_, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxButton(this, kChoose, Text(L"IDS_SELECT_FILE", L"选择文件")), 0, wxLEFT, 8);
    sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    Finish(sizer, kMessage);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { ChooseFile(); }, kChoose);
    FindWindow(kPath)->SetFocus();
}

CImportFeedDlg::~CImportFeedDlg() {
    // A download still running ends within a second; what it got is dropped with the
    // window's pending calls.
    stop_.Stop();
    if (worker_.joinable())
        worker_.join();
    if (downloading_)
        wxEndBusyCursor();
}

bool CImportFeedDlg::IsLocalFeedFile(const std::wstring& path) {
    if (DialogRules::IsHttpUrl(path) || path.empty() || path[0] != L'/')
        return false;
    return EndsWith(path, L".xml") || EndsWith(path, L".XML") || EndsWith(path, L".opml") ||
           EndsWith(path, L".OPML");
}

void CImportFeedDlg::ChooseFile() {
    // The wx filter takes no empty trailing entries.
    wxFileDialog chooser(this, Text(L"IDS_SELECT_FILE", L"选择文件"), wxEmptyString, wxEmptyString,
                         "OPML files(*.opml)|*.opml|XML files(*.xml)|*.xml",
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() == wxID_OK)
        SetValue(kPath, chooser.GetPath());
}

RuleResult CImportFeedDlg::Check() {
    const std::wstring path = Path();
    if (path.empty())
        return RuleResult::Fail(L"IDS_IMPORT_PATH_EMPTY", kPath);
    if (path.size() > DialogRules::kMaxText)
        return RuleResult::Fail(L"IDS_IMPORT_PATH_TOO_LONG", kPath);
    if (IsLocalFeedFile(path))
        return platform::FileExists(path) ? RuleResult::Pass()
                                          : RuleResult::Fail(L"IDS_IMPORT_NO_FILE", kPath, false);
    if (verify_->GetValue() && !DialogRules::IsHttpUrl(path))
        return RuleResult::Fail(L"IDS_IMPORT_NOT_HTTP", kPath);
    return RuleResult::Pass();
}

bool CImportFeedDlg::Accept() {
    if (downloading_)
        return false;
    const std::wstring path = Path();
    const bool downloaded = download_ && downloadedPath_ == path;
    if (!importer_ || downloaded || !CatalogueImport::IsWebAddress(path))
        return CRssDialog::Accept();
    if (Checked())
        StartDownload(path);
    return false;
}

void CImportFeedDlg::StartDownload(const std::wstring& path) {
    if (worker_.joinable())
        worker_.join(); // the last download has ended: its result was handled
    downloading_ = true;
    ShowMessage(wxString());
    FindWindow(wxID_OK)->Disable();
    wxBeginBusyCursor();
    worker_ = std::thread([this, path] {
        const CatalogueImport::Download got = CatalogueImport::DownloadList(path, &stop_);
        CallAfter([this, path, got] { Downloaded(path, got); });
    });
}

void CImportFeedDlg::Downloaded(const std::wstring& path,
                                const CatalogueImport::Download& download) {
    downloading_ = false;
    wxEndBusyCursor();
    FindWindow(wxID_OK)->Enable();
    if (download.stopped || Path() != path)
        return; // the path was changed meanwhile: OK downloads the new one
    download_ = download;
    downloadedPath_ = path;
    if (!Accept())
        return;
    accepted_ = true;
    if (IsModal())
        EndModal(wxID_OK);
}

wxString CImportFeedDlg::Commit() {
    if (!importer_)
        return wxString();
    // A download is taken once: OK again after a failure downloads anew.
    const std::optional<CatalogueImport::Download> download = std::move(download_);
    download_.reset();
    const bool downloaded = download && downloadedPath_ == Path();
    int result;
    {
        wxBusyCursor wait; // a local file is read
        result = importer_->Import(Path(), parent_, downloaded ? &*download : nullptr);
    }
    const wxString problem = Problem(result);
    if (!problem.empty())
        FindWindow(kPath)->SetFocus(); // where the list is named
    return problem;
}

wxString CImportFeedDlg::Problem(int result) const {
    const CatalogueImport::ImportSummary& summary = importer_->LastImport();
    if (result == 2) {
        LogPrintf(L"Can't parse feed file");
        return Text(L"IDS_IMPORT_EMPTY", L"该列表中没有频道组或频道。");
    }
    if (result == 1)
        return summary.groups == 0 && summary.channels == 0 ? NothingNew() : wxString();
    using Why = CatalogueImport::ImportProblem;
    switch (summary.problem) {
    case Why::kNoFile:
        return Text(L"IDS_IMPORT_NO_FILE", L"文件不存在。");
    case Why::kNotHttp:
        return Text(L"IDS_IMPORT_NOT_HTTP", L"该地址不是 http 地址。");
    case Why::kDownloadFailed:
        return wxString(platform::FormatW(
            Text(L"IDS_IMPORT_DOWNLOAD_FAILED", L"无法下载该列表（%s）。").wc_str(),
            wxString::FromUTF8(summary.downloadFailure.c_str()).wc_str()));
    case Why::kNotList:
        return Text(L"IDS_IMPORT_NOT_OPML", L"这不是 OPML 频道列表。");
    case Why::kNoFeed:
        return Text(L"IDS_NO_FEED_FOUND", L"此页面上没有找到频道。");
    case Why::kNoIds:
        return Text(L"IDS_IMPORT_NO_IDS", L"无法再添加频道组或频道：编号已用完。");
    default:
        return Text(L"IDS_IMPORT_UNREADABLE", L"无法读取该文件。");
    }
}

wxString CImportFeedDlg::NothingNew() const {
    const CatalogueImport::ImportSummary& summary = importer_->LastImport();
    const struct {
        size_t count;
        const wchar_t *key, *fallback;
    } parts[] = {{summary.alreadyPresent, L"IDS_IMPORT_PART_PRESENT", L"%d 个已经存在"},
                 {summary.notHttp, L"IDS_IMPORT_PART_NOT_HTTP", L"%d 个被略过（不是 http 地址）"},
                 {summary.addressTooLong, L"IDS_IMPORT_PART_TOO_LONG", L"%d 个被略过（地址过长）"}};
    const wxString separator = Text(L"IDS_IMPORT_PART_SEPARATOR", L"，");
    wxString counts;
    for (const auto& part : parts) {
        if (part.count == 0)
            continue;
        if (!counts.empty())
            counts += separator;
        counts += wxString(platform::FormatW(Text(part.key, part.fallback).wc_str(),
                                             static_cast<int>(part.count)));
    }
    return wxString(platform::FormatW(
        Text(L"IDS_IMPORT_NOTHING_NEW", L"列表中没有新频道：%s。").wc_str(), counts.wc_str()));
}
