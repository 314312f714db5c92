#pragma once

#include "ui/RssDialog.h"

#include <functional>

class CChannel;

// Channel properties (11004): name, description, address with its check button, the item
// limit and interval (digits only), the read-only counts and last update time; the reason
// of a refusal in the message line 10311.
class CChannelPropertyDlg : public CRssDialog {
public:
    enum {
        kName = 11500,
        kDescription = 11508,
        kAddress = 11502,
        kCheck = 11509,
        kMaxItems = 11510,
        kInterval = 11513,
        kUnread = 11511,
        kTotal = 11512,
        kLastUpdate = 11514,
        kMessage = 10311
    };
    CChannelPropertyDlg(wxWindow* parent, IPluginContainer* container, const CChannel& channel,
                        std::function<bool(const std::wstring&)> isAddressUnique);
    ChannelProperties Values() const;
    // The check button: whether the address is an http address, in the message line.
    void CheckAddress();

protected:
    RuleResult Check() override;

private:
    std::wstring openedUrl_;
    std::function<bool(const std::wstring&)> isAddressUnique_;
};
