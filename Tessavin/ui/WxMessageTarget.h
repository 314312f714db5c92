#pragma once

#include "platform/MessageQueue.h"
#include "platform/MessageTarget.h"

#include <mutex>
#include <wx/event.h>

// Carries a posted (message, wParam, lParam) to a window.
wxDECLARE_EVENT(EVT_TESSAVIN_MESSAGE, wxThreadEvent);

// A MessageTarget for a window: Post queues an EVT_TESSAVIN_MESSAGE event to the window
// (wxQueueEvent, safe from any thread). The target is not part of the window: its owner
// keeps it until every worker that may post to it has been joined, and the window closes
// it before it goes, so a worker that finishes later posts into nothing, never into freed
// memory.
class WxMessageTarget : public platform::MessageTarget {
public:
    explicit WxMessageTarget(wxEvtHandler* handler = nullptr) : handler_(handler) {}

    void Attach(wxEvtHandler* handler);
    bool Post(unsigned message, platform::WParam wParam, platform::LParam lParam) override;
    // No more events after this returns.
    void Close();

    // The message an event carries.
    static platform::PostedMessage MessageOf(const wxThreadEvent& event);

private:
    std::mutex mutex_;
    wxEvtHandler* handler_;
};
