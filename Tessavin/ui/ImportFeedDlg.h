#pragma once

#include "ui/RssDialog.h"

class wxCheckBox;

// Import feed file (11006): a list's address or local file, a button that chooses a file,
// and the verify box. A refusal shows no message.
class CImportFeedDlg : public CRssDialog {
public:
    enum { kPath = 11528, kChoose = 11526, kVerify = 11527 };
    static const wchar_t* const kFilter;
    CImportFeedDlg(wxWindow* parent, IPluginContainer* container);
    std::wstring Path() const { return Value(kPath).ToStdWstring(); }
    wxCheckBox* Verify() const { return verify_; }
    // A local channel list: not an http address, and named .xml/.XML/.opml/.OPML.
    static bool IsLocalFeedFile(const std::wstring& path);

protected:
    RuleResult Check() override;

private:
    void ChooseFile();
    wxCheckBox* verify_;
};
