#pragma once

#include "ui/RssDialog.h"

// Rename (11003): the new name, starting with the current one; no message.
class CRenameDlg : public CRssDialog {
public:
    enum { kName = 11506 };
    CRenameDlg(wxWindow* parent, IPluginContainer* container, const std::wstring& current);
    std::wstring Name() const { return Value(kName).ToStdWstring(); }

protected:
    RuleResult Check() override { return DialogRules::Rename(Name()); }
};
