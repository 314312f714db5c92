#pragma once

#include "host/OptionsRules.h"
#include "ui/RssDialog.h"

class wxCheckBox;

// The options (11005): automatic updating and the worker threads, the proxy with its login,
// the connection attempts and time-out, whether https addresses are feeds, and the notice of
// new items after updates. The check boxes
// change only through their handlers; the proxy fields are enabled with the proxy box. OK
// writes the settings; a refusal, or a write that fails, keeps the dialog open with the reason
// in the message line.
class COptionsDlg : public CRssDialog {
public:
    enum {
        kAutoUpdate = 11516,
        kThreads = 11322,
        kUseProxy = 11517,
        kProxyAddress = 11518,
        kProxyPort = 11519,
        kUserName = 11520,
        kPassword = 11521,
        kAttempts = 11529,
        kTimeout = 11530,
        kAllowHttps = 11531,
        kNotifyNewItems = 11532,
        kMessage = 10315
    };
    COptionsDlg(wxWindow* parent, IPluginContainer* container);

    bool UpdateState() const { return updateState_; }
    bool ProxyState() const { return proxyState_; }
    bool AllowHttps() const { return allowHttps_; }
    bool NotifyNewItems() const { return notifyNewItems_; }
    OptionsValues Values() const;
    std::wstring UserName() const { return Value(kUserName).ToStdWstring(); }
    std::wstring Password() const { return Value(kPassword).ToStdWstring(); }
    // Writes every value to the settings file unless OK has written them; false when a
    // write failed.
    bool Save() const;
    // The boxes' handlers (a click runs them).
    void ToggleProxy();
    void ToggleAutoUpdate();
    void ToggleAllowHttps();
    void ToggleNotifyNewItems();

protected:
    RuleResult Check() override { return OptionsRules::Check(Values()); }
    wxString Commit() override;

private:
    void EnableProxyFields();
    bool Write() const;
    bool saved_ = false;
    bool updateState_ = false;
    bool proxyState_ = false;
    bool allowHttps_ = false;
    bool notifyNewItems_ = true;
};
