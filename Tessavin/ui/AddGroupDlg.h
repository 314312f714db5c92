#pragma once

#include "ui/RssDialog.h"

// Add group (11002): one name; the reason of a refusal in the message line.
class CAddGroupDlg : public CRssDialog {
public:
    enum { kName = 11505, kMessage = 10312 };
    CAddGroupDlg(wxWindow* parent, IPluginContainer* container);
    std::wstring Name() const { return Value(kName).ToStdWstring(); }

protected:
    RuleResult Check() override { return DialogRules::AddGroup(Name()); }
};
