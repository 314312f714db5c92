#include "ui/DesktopNotice.h"

#include <wx/log.h>
#include <wx/notifmsg.h>
#include <wx/toplevel.h>

CDesktopNotice::CDesktopNotice(wxWindow* window) : window_(window) {}

CDesktopNotice::~CDesktopNotice() = default;

void CDesktopNotice::Show(const std::wstring& title, const std::wstring& body) {
    message_ = std::make_unique<wxNotificationMessage>(title, body, wxGetTopLevelParent(window_));
    message_->Bind(wxEVT_NOTIFICATION_MESSAGE_CLICK, [this](wxCommandEvent&) { BringUp(); });
    // Without a notification service on the desktop there is nothing to show it on.
    wxLogNull quiet;
    message_->Show(wxNotificationMessage::Timeout_Auto);
}

void CDesktopNotice::BringUp() {
    auto* top = wxDynamicCast(wxGetTopLevelParent(window_), wxTopLevelWindow);
    if (!top)
        return;
    top->Iconize(false);
    top->Show();
    top->Raise();
}
