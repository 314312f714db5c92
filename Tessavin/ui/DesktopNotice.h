#pragma once

#include "update/NewItemsNotice.h"

#include <memory>

class wxNotificationMessage;
class wxWindow;

// The notice of new items as a desktop notification; clicking it brings the reader's
// window up. One notification at a time: a new one takes the place of the last.
class CDesktopNotice : public NoticeSink {
public:
    explicit CDesktopNotice(wxWindow* window);
    ~CDesktopNotice() override;
    void Show(const std::wstring& title, const std::wstring& body) override;
    // Brings the window's top-level window up (what a click on the notification does).
    void BringUp();

private:
    wxWindow* window_;
    std::unique_ptr<wxNotificationMessage> message_;
};
