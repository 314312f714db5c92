#pragma once

#include "ui/RssDialog.h"

// Rename (11003): the new name, starting with the current one; the reason of a refusal in
// the message line.
class CRenameDlg : public CRssDialog {
public:
    enum { kName = 11506, kMessage = 10313 };
    CRenameDlg(wxWindow* parent, IPluginContainer* container, const std::wstring& current);
    std::wstring Name() const { return Value(kName).ToStdWstring(); }

protected:
    RuleResult Check() override { return DialogRules::Rename(Name()); }
};
