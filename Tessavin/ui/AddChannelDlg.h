#pragma once

#include "ui/RssDialog.h"

#include <functional>

class wxCheckBox;

// Add channel (11001): name, description, address and the verify box; the reason of a
// refusal in the message line 10310.
class CAddChannelDlg : public CRssDialog {
public:
    enum {
        kName = 11500,
        kDescription = 11503,
        kAddress = 11502,
        kVerify = 11501,
        kMessage = 10310
    };
    CAddChannelDlg(wxWindow* parent, IPluginContainer* container,
                   std::function<bool(const std::wstring&)> isAddressUnique);
    std::wstring Name() const { return Value(kName).ToStdWstring(); }
    std::wstring Description() const { return Value(kDescription).ToStdWstring(); }
    std::wstring Address() const { return Value(kAddress).ToStdWstring(); }
    wxCheckBox* Verify() const { return verify_; }

protected:
    RuleResult Check() override;

private:
    std::function<bool(const std::wstring&)> isAddressUnique_;
    wxCheckBox* verify_;
};
