#pragma once

#include "engine/StopToken.h"
#include "opml/CatalogueImport.h"
#include "ui/RssDialog.h"

#include <optional>
#include <thread>

class CGroup;
class wxCheckBox;

// Import feed file (11006): a list's address or local file, a button that chooses a file,
// and the verify box. With a model to import into, OK imports the list; a list that cannot
// be read or adds nothing keeps the dialog open with the reason in the message line, as
// does a refusal of the path. A list on the web is downloaded on a worker first (OK
// disabled, a busy cursor); Cancel, or closing the dialog, ends that download within a
// second.
class CImportFeedDlg : public CRssDialog {
public:
    enum { kPath = 11528, kChoose = 11526, kVerify = 11527, kMessage = 10314 };
    static const wchar_t* const kFilter;
    CImportFeedDlg(wxWindow* parent, IPluginContainer* container);
    ~CImportFeedDlg() override;
    std::wstring Path() const { return Value(kPath).ToStdWstring(); }
    wxCheckBox* Verify() const { return verify_; }
    // OK imports into the catalogue under the group (null: the top level).
    void ImportInto(CatalogueImport* importer, CGroup* parent) {
        importer_ = importer;
        parent_ = parent;
    }
    // A local channel list: not an http address, and named .xml/.XML/.opml/.OPML.
    static bool IsLocalFeedFile(const std::wstring& path);
    // OK: the checks, then a list on the web is downloaded; true when the dialog may close.
    bool Accept() override;
    // A list is being downloaded.
    bool Downloading() const { return downloading_; }
    // A downloaded list was imported and the dialog closed with OK (ended, when modal).
    bool Accepted() const { return accepted_; }

protected:
    RuleResult Check() override;
    wxString Commit() override;

private:
    void ChooseFile();
    void StartDownload(const std::wstring& path);
    // On the UI thread, with what the worker downloaded from that path.
    void Downloaded(const std::wstring& path, const CatalogueImport::Download& download);
    // Why the model's import (with its result) adds nothing; empty when it added something.
    wxString Problem(int result) const;
    // What the model's last import left out, as the message of an import that added nothing.
    wxString NothingNew() const;
    wxCheckBox* verify_;
    CatalogueImport* importer_ = nullptr;
    CGroup* parent_ = nullptr;
    std::thread worker_;
    StopToken stop_;
    bool downloading_ = false;
    bool accepted_ = false;
    // The download of downloadedPath_, which the next import takes once.
    std::optional<CatalogueImport::Download> download_;
    std::wstring downloadedPath_;
};
