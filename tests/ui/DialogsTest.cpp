#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "catalogue/CatalogueModel.h"
#include "engine/ThreadPool.h"
#include "ui/AddChannelDlg.h"
#include "ui/AddGroupDlg.h"
#include "ui/ChannelPropertyDlg.h"
#include "ui/ImportFeedDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/RenameDlg.h"
#include "ui/RssChannelView.h"

#include <deque>
#include <map>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

namespace {

// What pressing OK did: whether the dialog would close, the control that has the focus
// and the message line.
struct Outcome {
    bool accepted;
    int focus;
    std::string message;
};

class DialogTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        AddEnglishTexts(container);
        {
            CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
            ASSERT_TRUE(model.Open());
            CGroup* group = model.AddGroup(nullptr, L"G");
            CChannel* c = model.AddChannel(group, L"C", L"", L"http://127.0.0.1:1/c.xml");
            c->SetInterval(30);
            c->SetLastBuildDate("kept");
            model.AddChannel(nullptr, L"Other", L"", L"http://127.0.0.1:1/other.xml");
            model.SaveChannels();
        }
        Setting("UpdateState", "0");
        frame = Run(&container);
        ASSERT_NE(frame, nullptr);
        view = frame->ChannelView();
        model = frame->Model();
        // Each dialog the commands open is answered by the next step.
        view->showDialog = [this](CRssDialog& dialog) {
            if (steps.empty())
                return static_cast<int>(wxID_CANCEL);
            auto step = steps.front();
            steps.pop_front();
            return step(dialog);
        };
    }
    // Types the values, presses OK and looks.
    static Outcome Press(CRssDialog& dialog, const std::map<int, wxString>& values) {
        dialog.Show();
        PumpEvents(30);
        for (const auto& [id, value] : values)
            static_cast<wxTextCtrl*>(dialog.FindWindow(id))->ChangeValue(value);
        const bool accepted = dialog.Accept();
        PumpEvents(30);
        wxWindow* focus = wxWindow::FindFocus();
        Outcome outcome{accepted, focus ? focus->GetId() : 0, dialog.Message().ToStdString()};
        dialog.Hide();
        return outcome;
    }
    // Values typed one case after the other (they accumulate), each refused with its
    // focus and message.
    struct Refusal {
        std::map<int, wxString> values;
        int focus;
        const char* message;
    };
    template <size_t N> static void ExpectRefusals(CRssDialog& dialog, const Refusal (&cases)[N]) {
        for (const Refusal& test : cases) {
            const Outcome outcome = Press(dialog, test.values);
            EXPECT_FALSE(outcome.accepted) << test.message;
            EXPECT_EQ(outcome.focus, test.focus) << test.message;
            EXPECT_EQ(outcome.message, test.message);
        }
    }
    void Select(CatalogueNode* node) { view->SelectItem(view->ItemOf(node)); }
    std::string Files() {
        return ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat") + "|" +
               ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Group.dat") + "|" +
               ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini");
    }

    HostContainer container;
    CMainFrame* frame = nullptr;
    CRssChannelView* view = nullptr;
    CatalogueModel* model = nullptr;
    std::deque<std::function<int(CRssDialog&)>> steps;
};

} // namespace

TEST_F(DialogTest, AddChannelChecksInOrderWithTheReasonAndTheFocus) {
    CChannel* c = model->Channels()[0].get();
    Select(CatalogueModel::NodeOf(model->Groups()[0].get()));
    const std::string files = Files();
    using D = CAddChannelDlg;
    const std::wstring longText(261, L'x');
    steps.push_back([&](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        EXPECT_EQ(dialog.GetTitle(), "Add channel");
        EXPECT_TRUE(dialog.Verify()->GetValue());
        const Refusal cases[] = {
            {{{D::kName, ""}}, D::kName, "The channel name must not be empty."},
            {{{D::kName, longText}}, D::kName, "The channel name is longer than 260 characters."},
            {{{D::kName, "N"}, {D::kDescription, longText}},
             D::kDescription,
             "The channel description is longer than 260 characters."},
            {{{D::kDescription, ""}, {D::kAddress, ""}},
             D::kAddress,
             "The channel address must not be empty."},
            {{{D::kAddress, wxString(c->GetUrl())}},
             D::kAddress,
             "A channel with this address exists already."},
            {{{D::kAddress, "https://127.0.0.1:1/new.xml"}},
             D::kAddress,
             "The channel address is not a valid http address."},
            {{{D::kAddress, "http://127.0.0.1:1/new.Xml"}},
             D::kAddress,
             "The channel address is not a valid http address."},
        };
        ExpectRefusals(dialog, cases);
        // Without the verify box an https address is taken (when unique).
        dialog.Verify()->SetValue(false);
        EXPECT_TRUE(Press(dialog, {{D::kAddress, "https://127.0.0.1:1/new.xml"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->AddChannelCommand();
    ASSERT_EQ(model->Channels().size(), 3u);
    CChannel* added = model->Channels()[2].get();
    EXPECT_EQ(added->GetName(), L"N");
    EXPECT_EQ(added->GetUrl(), L"https://127.0.0.1:1/new.xml");
    EXPECT_EQ(added->GetGroupId(), model->Groups()[0]->GetId());
    EXPECT_NE(Files(), files);
    PumpUntil([this] { return model->RunningJobs() == 0; }, 10000);
}

TEST_F(DialogTest, CancelChangesNoFileAndGroupsAndRenamesRefuseSilently) {
    const std::string files = Files();
    Select(CatalogueModel::NodeOf(model->Channels()[0].get()));
    view->RenameNode(); // each answered Cancel
    view->Properties();
    view->Unselect();
    view->AddChannelCommand();
    view->AddGroup();
    view->ImportCommand();
    frame->RunCommand(CMainFrame::Command::kOptions);
    EXPECT_EQ(Files(), files);

    // Add group and rename keep the dialog open without a message.
    steps.push_back([](CRssDialog& d) {
        const Outcome blank = Press(d, {{CAddGroupDlg::kName, "   "}});
        EXPECT_FALSE(blank.accepted);
        EXPECT_EQ(blank.focus, CAddGroupDlg::kName);
        EXPECT_EQ(blank.message, "");
        EXPECT_TRUE(Press(d, {{CAddGroupDlg::kName, "New group"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->AddGroup();
    ASSERT_EQ(model->Groups().size(), 2u);
    EXPECT_EQ(model->Groups()[1]->GetName(), L"New group");
    Select(CatalogueModel::NodeOf(model->Groups()[1].get()));
    steps.push_back([](CRssDialog& d) {
        EXPECT_EQ(static_cast<wxTextCtrl*>(d.FindWindow(CRenameDlg::kName))->GetValue(),
                  "New group");
        const Outcome empty = Press(d, {{CRenameDlg::kName, ""}});
        EXPECT_FALSE(empty.accepted);
        EXPECT_EQ(empty.focus, CRenameDlg::kName);
        EXPECT_TRUE(Press(d, {{CRenameDlg::kName, "Renamed"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->RenameNode();
    EXPECT_EQ(model->Groups()[1]->GetName(), L"Renamed");
}

TEST_F(DialogTest, PropertiesCheckTheirBoundsAndWriteBackWhatChanged) {
    CChannel* c = model->Channels()[0].get();
    Select(CatalogueModel::NodeOf(c));
    const int timer = view->TimerOf(c)->GetId();
    using D = CChannelPropertyDlg;
    steps.push_back([&](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        EXPECT_EQ(static_cast<wxTextCtrl*>(d.FindWindow(D::kInterval))->GetValue(), "30");
        // Its own address is no duplicate; the check button judges the address alone.
        const Refusal cases[] = {
            {{{D::kMaxItems, "1001"}}, D::kMaxItems, "At most 1000 items can be kept."},
            {{{D::kMaxItems, "9"}}, D::kMaxItems, "At least 10 items are kept."},
            {{{D::kMaxItems, "1000"}, {D::kInterval, ""}},
             D::kInterval,
             "The update interval is at least 10 minutes."},
            {{{D::kInterval, "241"}}, D::kInterval, "The update interval is at most 240 minutes."},
            {{{D::kInterval, "240"}, {D::kAddress, "http://127.0.0.1:1/other.xml"}},
             D::kAddress,
             "A channel with this address exists already."},
        };
        ExpectRefusals(dialog, cases);
        static_cast<wxTextCtrl*>(d.FindWindow(D::kAddress))->ChangeValue("ftp://x/");
        dialog.CheckAddress();
        EXPECT_EQ(dialog.Message(), "The channel address is not a valid http address.");
        EXPECT_TRUE(Press(dialog, {{D::kAddress, wxString(c->GetUrl())}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->Properties();
    EXPECT_EQ(c->GetMaxItems(), 1000u);
    EXPECT_EQ(c->GetInterval(), 240u);
    EXPECT_NE(view->TimerOf(c)->GetId(), timer); // a new interval: a new timer
    EXPECT_EQ(view->TimerOf(c)->GetInterval(), 240 * 60000);
    EXPECT_EQ(c->GetLastBuildDate(), "kept"); // the address stayed

    // A new address empties the build date, so the next update rebuilds the page.
    steps.push_back([](CRssDialog& d) {
        EXPECT_TRUE(Press(d, {{D::kAddress, "http://127.0.0.1:1/moved.xml"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->Properties();
    EXPECT_EQ(c->GetUrl(), L"http://127.0.0.1:1/moved.xml");
    EXPECT_EQ(c->GetLastBuildDate(), "");
}

TEST_F(DialogTest, ImportGoesUnderTheSelectedGroupAndAMissingFileKeepsTheDialogOpen) {
    WriteFileBytes(app / "list.opml", "<opml version=\"2.0\"><body><outline text=\"in\" "
                                      "xmlUrl=\"http://127.0.0.1:1/in\"/></body></opml>");
    CGroup* group = model->Groups()[0].get();
    Select(CatalogueModel::NodeOf(group));
    steps.push_back([this](CRssDialog& d) {
        const Outcome missing = Press(d, {{CImportFeedDlg::kPath, app / "missing.opml"}});
        EXPECT_FALSE(missing.accepted);
        EXPECT_EQ(missing.focus, CImportFeedDlg::kPath);
        static_cast<CImportFeedDlg&>(d).Verify()->SetValue(true);
        EXPECT_FALSE(Press(d, {{CImportFeedDlg::kPath, "not-an-address"}}).accepted);
        EXPECT_TRUE(Press(d, {{CImportFeedDlg::kPath, app / "list.opml"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->ImportCommand();
    ASSERT_EQ(model->Channels().size(), 3u);
    EXPECT_EQ(model->Channels()[2]->GetGroupId(), group->GetId());
    EXPECT_TRUE(CImportFeedDlg::IsLocalFeedFile(L"/a/b.OPML"));
    EXPECT_FALSE(CImportFeedDlg::IsLocalFeedFile(L"/a/b.Opml"));
    EXPECT_FALSE(CImportFeedDlg::IsLocalFeedFile(L"http://x/b.opml"));
}

TEST_F(DialogTest, OptionsCheckInOrderAndApplyToThePoolAndTheTimers) {
    using D = COptionsDlg;
    steps.push_back([](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        // The proxy fields follow the proxy box, which only its handler changes.
        EXPECT_FALSE(dialog.ProxyState());
        EXPECT_FALSE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        struct Case {
            std::map<int, wxString> values;
            int focus;
        } cases[] = {
            {{{D::kThreads, "31"}, {D::kTimeout, "9"}}, D::kTimeout}, // the time-out comes first
            {{{D::kTimeout, "36"}}, D::kTimeout},
            {{{D::kTimeout, "35"}, {D::kAttempts, "6"}}, D::kAttempts},
            {{{D::kAttempts, "5"}}, D::kThreads},
            {{{D::kThreads, ""}}, D::kThreads},
        };
        for (const Case& test : cases)
            EXPECT_EQ(Press(dialog, test.values).focus, test.focus);
        dialog.ToggleProxy();
        EXPECT_TRUE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        EXPECT_EQ(
            Press(dialog, {{D::kThreads, "7"}, {D::kProxyAddress, ""}, {D::kProxyPort, "70000"}})
                .focus,
            D::kProxyAddress);
        EXPECT_EQ(Press(dialog, {{D::kProxyAddress, "proxy"}}).focus, D::kProxyPort);
        dialog.ToggleProxy(); // off again: an empty port is taken
        dialog.ToggleAutoUpdate();
        EXPECT_FALSE(static_cast<wxCheckBox*>(d.FindWindow(D::kAllowHttps))->GetValue());
        dialog.ToggleAllowHttps();
        EXPECT_TRUE(static_cast<wxCheckBox*>(d.FindWindow(D::kAllowHttps))->GetValue());
        EXPECT_TRUE(Press(dialog, {{D::kProxyPort, ""}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    EXPECT_FALSE(view->AutoUpdate());
    frame->RunCommand(CMainFrame::Command::kOptions);
    EXPECT_TRUE(view->AutoUpdate());
    EXPECT_EQ(frame->ThreadCount(), 7u);
    EXPECT_EQ(frame->Pool()->BaseCount(), 7u);
    const std::string ini = ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini");
    for (const char* line : {"UpdateState=1", "ThreadNum=7", "ProxyState=0", "ProxyPort=0",
                             "LinkNum=5", "LinkTime=35", "AllowHttps=1"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
}
