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
// check on OK that keeps the dialog open with the focus on the offending control and the
// reason in the message line. The message line wraps to the dialog's width, which grows in
// height to show every line. Controls keep their resource ids.
class CRssDialog : public wxDialog {
public:
    CRssDialog(wxWindow* parent, IPluginContainer* container, const wchar_t* titleKey,
               const wchar_t* titleDefault);

    // The checks OK runs, then what OK does; true when the dialog may close (OK does so).
    virtual bool Accept();
    // The message line's text, without the breaks that wrap it (empty without one).
    wxString Message() const;
    // A text by key from the host, else the default.
    static wxString HostText(IPluginContainer* container, const wchar_t* key,
                             const wchar_t* fallback);

protected:
    virtual RuleResult Check() = 0;
    // Runs the checks; a refusal shows in the message line with the focus on its control.
    bool Checked();
    // What OK does once the checks pass; a text back says why it could not, and the dialog
    // stays open showing it.
    virtual wxString Commit() { return wxString(); }
    wxString Text(const wchar_t* key, const wchar_t* fallback) const;
    // A label over a full-width edit, added to `sizer`.
    wxTextCtrl* AddEdit(wxSizer* sizer, int labelId, const wchar_t* key, const wchar_t* fallback,
                        int editId, long style = 0);
    // The message line, OK and Cancel at the bottom; then the sizer is the dialog's.
    void Finish(wxSizer* sizer, int messageId);
    // Puts a text in the message line: a refusal in red, other news in the text colour.
    void ShowMessage(const wxString& text, bool refusal = true);
    wxString Value(int id) const;
    void SetValue(int id, const wxString& value);

    IPluginContainer* container_;

private:
    // Breaks the message into lines of the dialog's width and makes room for them.
    void WrapMessage();

    wxStaticText* message_ = nullptr;
    wxString messageText_;
    int wrapWidth_ = 0;
};
