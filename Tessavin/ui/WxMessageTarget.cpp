#include "ui/WxMessageTarget.h"

wxDEFINE_EVENT(EVT_TESSAVIN_MESSAGE, wxThreadEvent);

bool WxMessageTarget::Post(unsigned message, platform::WParam wParam, platform::LParam lParam) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!handler_)
        return false;
    auto* event = new wxThreadEvent(EVT_TESSAVIN_MESSAGE);
    event->SetPayload(platform::PostedMessage{message, wParam, lParam});
    wxQueueEvent(handler_, event);
    return true;
}

void WxMessageTarget::Attach(wxEvtHandler* handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    handler_ = handler;
}

void WxMessageTarget::Close() {
    std::lock_guard<std::mutex> guard(mutex_);
    handler_ = nullptr;
}

platform::PostedMessage WxMessageTarget::MessageOf(const wxThreadEvent& event) {
    return event.GetPayload<platform::PostedMessage>();
}
