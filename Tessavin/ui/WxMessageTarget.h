#pragma once

#include "platform/MessageQueue.h"
#include "platform/MessageTarget.h"

#include <mutex>
#include <wx/event.h>

// Carries a posted (message, wParam, lParam) to a window.
wxDECLARE_EVENT(EVT_TESSAVIN_MESSAGE, wxThreadEvent);

// A MessageTarget for a window: Post queues an EVT_TESSAVIN_MESSAGE event to the window
// (wxQueueEvent, safe from any thread). The window closes its target before it goes, so a
// worker that finishes later posts into nothing, never into freed memory.
class WxMessageTarget : public platform::MessageTarget {
public:
    explicit WxMessageTarget(wxEvtHandler* handler) : handler_(handler) {}

    bool Post(unsigned message, platform::WParam wParam, platform::LParam lParam) override;
    // No more events after this returns.
    void Close();

    // The message an event carries.
    static platform::PostedMessage MessageOf(const wxThreadEvent& event);

private:
    std::mutex mutex_;
    wxEvtHandler* handler_;
};
