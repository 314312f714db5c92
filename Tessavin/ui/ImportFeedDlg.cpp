#include "ui/ImportFeedDlg.h"

#include "platform/FileSystem.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

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
            L"请输入种子文件的URL或选择本地的种子文件", kPath);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    verify_ =
        new wxCheckBox(this, kVerify, Text(L"IDS_CHECK_AVAILABILITY", L"验证种子文件URL的有效性"));
    row->Add(verify_, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxButton(this, kChoose, Text(L"IDS_SELECT_FILE", L"选择文件")), 0, wxLEFT, 8);
    sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    Finish(sizer, 0);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { ChooseFile(); }, kChoose);
    FindWindow(kPath)->SetFocus();
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
    if (path.empty() || path.size() > DialogRules::kMaxText)
        return RuleResult::Fail(L"", kPath);
    if (IsLocalFeedFile(path))
        return platform::FileExists(path) ? RuleResult::Pass()
                                          : RuleResult::Fail(L"", kPath, false);
    if (verify_->GetValue() && !DialogRules::IsHttpUrl(path))
        return RuleResult::Fail(L"", kPath);
    return RuleResult::Pass();
}
