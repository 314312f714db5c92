#pragma once

#include "catalogue/DialogRules.h"

#include <string>
#include <wx/dialog.h>

class IPluginContainer;
class wxSizer;
class wxStaticText;
class wxTextCtrl;

// What the reader's dialogs share: texts by key through the host's locale service (the
// resource's default text where the host has none), sizer layout, OK and Cancel, and the
// check on OK that keeps the dialog open with the focus on the offending control and,
// where the dialog has one, the reason in its message line. Controls keep their resource
// ids.
class CRssDialog : public wxDialog {
public:
    CRssDialog(wxWindow* parent, IPluginContainer* container, const wchar_t* titleKey,
               const wchar_t* titleDefault);

    // The checks OK runs; true when the dialog may close (OK does so).
    bool Accept();
    // The message line's text (empty without one).
    wxString Message() const;

protected:
    virtual RuleResult Check() = 0;
    wxString Text(const wchar_t* key, const wchar_t* fallback) const;
    // A label over a full-width edit, added to `sizer`.
    wxTextCtrl* AddEdit(wxSizer* sizer, int labelId, const wchar_t* key, const wchar_t* fallback,
                        int editId, long style = 0);
    // The message line, OK and Cancel at the bottom; then the sizer is the dialog's.
    void Finish(wxSizer* sizer, int messageId);
    wxString Value(int id) const;
    void SetValue(int id, const wxString& value);

    IPluginContainer* container_;

private:
    wxStaticText* message_ = nullptr;
};
