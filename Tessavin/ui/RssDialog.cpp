#include "ui/RssDialog.h"

#include "host/HostServices.h"
#include "ui/ArtTable.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

CRssDialog::CRssDialog(wxWindow* parent, IPluginContainer* container, const wchar_t* titleKey,
                       const wchar_t* titleDefault)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      container_(container) {
    SetTitle(Text(titleKey, titleDefault));
    wxIcon icon;
    icon.CopyFromBitmap(ArtTable::Bitmap(11050, 32));
    SetIcon(icon);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) {
        if (event.GetId() != wxID_OK)
            return event.Skip();
        if (Accept())
            EndModal(wxID_OK);
    });
}

wxString CRssDialog::Text(const wchar_t* key, const wchar_t* fallback) const {
    const std::wstring text = GetLocaleText(key, kModuleTextsName, container_);
    return wxString(text.empty() ? fallback : text.c_str());
}

wxTextCtrl* CRssDialog::AddEdit(wxSizer* sizer, int labelId, const wchar_t* key,
                                const wchar_t* fallback, int editId, long style) {
    sizer->Add(new wxStaticText(this, labelId, Text(key, fallback)), 0, wxLEFT | wxRIGHT | wxTOP,
               8);
    auto* edit = new wxTextCtrl(this, editId, wxEmptyString, wxDefaultPosition,
                                wxSize(FromDIP(360), -1), style);
    sizer->Add(edit, 0, wxEXPAND | wxALL, 8);
    return edit;
}

void CRssDialog::Finish(wxSizer* sizer, int messageId) {
    if (messageId) {
        message_ = new wxStaticText(this, messageId, wxEmptyString);
        message_->SetForegroundColour(*wxRED);
        sizer->Add(message_, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    }
    auto* buttons = new wxStdDialogButtonSizer();
    auto* ok = new wxButton(this, wxID_OK, Text(L"IDS_OK", L"确定"));
    ok->SetDefault(); // Enter presses OK
    buttons->AddButton(ok);
    buttons->AddButton(new wxButton(this, wxID_CANCEL, Text(L"IDS_CANCEL", L"取消")));
    buttons->Realize();
    sizer->Add(buttons, 0, wxEXPAND | wxALL, 8);
    SetSizerAndFit(sizer);
    SetEscapeId(wxID_CANCEL);
    SetAffirmativeId(wxID_NONE); // OK runs the checks first
}

wxString CRssDialog::Value(int id) const {
    auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(id));
    return edit ? edit->GetValue() : wxString();
}

void CRssDialog::SetValue(int id, const wxString& value) {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(id)))
        edit->ChangeValue(value);
}

wxString CRssDialog::Message() const {
    return message_ ? message_->GetLabel() : wxString();
}

bool CRssDialog::Accept() {
    const RuleResult result = Check();
    if (result.ok)
        return true;
    if (message_ && !result.key.empty()) {
        message_->SetLabel(Text(result.key.c_str(), result.key.c_str()));
        Layout();
    }
    if (wxWindow* control = FindWindow(result.focus))
        control->SetFocus();
    return false;
}
