// libXMessageBox.so: the message-box library a desktop host installs in its application
// folder. Entry "XMessageBox" shows a modal message box honouring the style bits (buttons
// in the low four bits, icon in the next four, topmost 0x40000) and, when the parameter
// block asks for them, the host's button captions.
#include "host/HostServices.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>

// After wx/msgdlg.h, which declares its base class.
#include <wx/generic/msgdlgg.h>

namespace {

enum Buttons {
    kOk = 0,
    kOkCancel = 1,
    kAbortRetryIgnore = 2,
    kYesNoCancel = 3,
    kYesNo = 4,
    kRetryCancel = 5
};
enum Result {
    kIdOkResult = 1,
    kIdCancelResult = 2,
    kIdAbort = 3,
    kIdRetry = 4,
    kIdIgnore = 5,
    kIdYes = 6,
    kIdNo = 7
};
enum Caption {
    kCapOk = 0,
    kCapCancel = 1,
    kCapAbort = 2,
    kCapRetry = 3,
    kCapIgnore = 4,
    kCapYes = 5,
    kCapNo = 6
};

wxString Caption(const MessageBoxParams* params, int index, const wxString& fallback) {
    if (!params || !(params->options & MessageBoxParams::kUserDefinedButtons) ||
        !params->captions[index][0])
        return fallback;
    return wxString(params->captions[index]);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int XMessageBox(void* owner, const wchar_t* text,
                                                                  const wchar_t* caption,
                                                                  unsigned style,
                                                                  MessageBoxParams* params) {
    if (!wxTheApp)
        return kIdCancelResult;
    const unsigned buttons = style & 0xF;
    long wxStyle = 0;
    switch (buttons) {
    case kOkCancel:
        wxStyle = wxOK | wxCANCEL;
        break;
    case kYesNoCancel:
    case kAbortRetryIgnore: // three buttons, captioned abort / retry / ignore below
        wxStyle = wxYES_NO | wxCANCEL;
        break;
    case kYesNo:
        wxStyle = wxYES_NO;
        break;
    case kRetryCancel:
        wxStyle = wxOK | wxCANCEL;
        break;
    default:
        wxStyle = wxOK;
    }
    switch (style & 0xF0) {
    case 0x10:
        wxStyle |= wxICON_ERROR;
        break;
    case 0x20:
        wxStyle |= wxICON_QUESTION;
        break;
    case 0x30:
        wxStyle |= wxICON_WARNING;
        break;
    case 0x40:
        wxStyle |= wxICON_INFORMATION;
        break;
    default:
        break;
    }
    if (style & 0x40000)
        wxStyle |= wxSTAY_ON_TOP;
    wxGenericMessageDialog dialog(static_cast<wxWindow*>(owner), wxString(text ? text : L""),
                                  wxString(caption ? caption : L""), wxStyle);
    if (buttons == kAbortRetryIgnore) {
        dialog.SetYesNoCancelLabels(Caption(params, kCapAbort, "Abort"),
                                    Caption(params, kCapRetry, "Retry"),
                                    Caption(params, kCapIgnore, "Ignore"));
    } else if (buttons == kRetryCancel) {
        dialog.SetOKCancelLabels(Caption(params, kCapRetry, "Retry"),
                                 Caption(params, kCapCancel, "Cancel"));
    } else {
        dialog.SetYesNoCancelLabels(Caption(params, kCapYes, "Yes"), Caption(params, kCapNo, "No"),
                                    Caption(params, kCapCancel, "Cancel"));
        dialog.SetOKCancelLabels(Caption(params, kCapOk, "OK"),
                                 Caption(params, kCapCancel, "Cancel"));
    }
    const int pressed = dialog.ShowModal();
    switch (pressed) {
    case wxID_OK:
        return buttons == kRetryCancel ? kIdRetry : kIdOkResult;
    case wxID_YES:
        return buttons == kAbortRetryIgnore ? kIdAbort : kIdYes;
    case wxID_NO:
        return buttons == kAbortRetryIgnore ? kIdRetry : kIdNo;
    case wxID_CANCEL:
        return buttons == kAbortRetryIgnore ? kIdIgnore : kIdCancelResult;
    default:
        return kIdCancelResult;
    }
}
