#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueModel.h"
#include "engine/ThreadPool.h"
#include "platform/FileSystem.h"
#include "ui/AddChannelDlg.h"
#include "ui/AddGroupDlg.h"
#include "ui/ChannelPropertyDlg.h"
#include "ui/ImportFeedDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/RenameDlg.h"
#include "ui/RssChannelView.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <wx/arrstr.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>
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
    // The whole message line shows: the control gets the room its text needs, inside the
    // dialog, and its lines hold every word of the message.
    static void ExpectWholeMessage(CRssDialog& dialog, int messageId) {
        auto* line = dynamic_cast<wxStaticText*>(dialog.FindWindow(messageId));
        ASSERT_NE(line, nullptr);
        ASSERT_FALSE(dialog.Message().empty());
        const wxRect rect = line->GetRect();
        const wxSize client = dialog.GetClientSize();
        EXPECT_GE(rect.x, 0);
        EXPECT_LE(rect.GetRight(), client.x);
        EXPECT_LE(rect.GetBottom(), client.y);
        const wxSize best = line->GetBestSize();
        EXPECT_LE(best.x, rect.width) << dialog.Message();
        EXPECT_LE(best.y, rect.height) << dialog.Message();
        wxString shown;
        for (const wxString& part : wxSplit(line->GetLabel(), '\n', '\0')) {
            EXPECT_LE(line->GetTextExtent(part).x, rect.width) << part;
            shown += part;
        }
        wxString whole = dialog.Message();
        shown.Replace(" ", "");
        whole.Replace(" ", "");
        EXPECT_EQ(shown, whole);
    }
    // Message boxes go to the stand-in library, which notes the last one and answers
    // `answer`.
    void FakeMessageBoxes(int answer) {
        ASSERT_TRUE(platform::CopyFile(platform::Utf8ToWide(TESSAVIN_TEST_MESSAGEBOX_LIBRARY),
                                       app.WPath() + L"libXMessageBox.so", false));
        boxLog = app / "messagebox.log";
        setenv("TESSAVIN_FAKE_MESSAGEBOX_LOG", boxLog.c_str(), 1);
        setenv("TESSAVIN_FAKE_MESSAGEBOX_ANSWER", std::to_string(answer).c_str(), 1);
    }
    // The text of the last message box shown since the last call.
    std::string LastBox() {
        const std::string shown = ReadFileBytes(boxLog);
        WriteFileBytes(boxLog, "");
        return shown.substr(0, shown.find('|'));
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("TESSAVIN_FAKE_MESSAGEBOX_LOG");
        unsetenv("TESSAVIN_FAKE_MESSAGEBOX_ANSWER");
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
    std::string boxLog;
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
        // The reason is shown whole, however long.
        const Outcome control = Press(dialog, {{D::kName, "two\nlines"}});
        EXPECT_EQ(control.message,
                  "The name must not contain line breaks or other control characters.");
        ExpectWholeMessage(dialog, D::kMessage);
        // Made wider, the dialog gives the message one line again.
        dialog.Show();
        dialog.SetSize(dialog.GetSize() + wxSize(400, 0));
        PumpEvents(50);
        ExpectWholeMessage(dialog, D::kMessage);
        EXPECT_EQ(static_cast<wxStaticText*>(dialog.FindWindow(D::kMessage))->GetLabel(),
                  dialog.Message());
        const Refusal cases[] = {
            {{{D::kName, ""}}, D::kName, "The channel name must not be empty."},
            {{{D::kName, longText}}, D::kName, "The channel name is longer than 260 characters."},
            {{{D::kName, "N"}, {D::kDescription, "ring\a"}},
             D::kDescription,
             "The description must not contain line breaks or other control characters."},
            {{{D::kDescription, "two\nlines"}},
             D::kDescription,
             "The description must not contain line breaks or other control characters."},
            {{{D::kDescription, longText}},
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

TEST_F(DialogTest, CancelChangesNoFileAndGroupsAndRenamesSayWhyTheyRefuse) {
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

    // Add group and rename keep the dialog open with the reason in the message line.
    const std::wstring longName(261, L'n');
    steps.push_back([&longName](CRssDialog& d) {
        const Refusal cases[] = {
            {{{CAddGroupDlg::kName, "   "}},
             CAddGroupDlg::kName,
             "The group name must not be empty."},
            {{{CAddGroupDlg::kName, "a\tb"}},
             CAddGroupDlg::kName,
             "The name must not contain line breaks or other control characters."},
            {{{CAddGroupDlg::kName, longName}},
             CAddGroupDlg::kName,
             "The group name is longer than 260 characters."},
        };
        ExpectRefusals(d, cases);
        ExpectWholeMessage(d, CAddGroupDlg::kMessage);
        EXPECT_TRUE(Press(d, {{CAddGroupDlg::kName, "New group"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->AddGroup();
    ASSERT_EQ(model->Groups().size(), 2u);
    EXPECT_EQ(model->Groups()[1]->GetName(), L"New group");
    Select(CatalogueModel::NodeOf(model->Groups()[1].get()));
    steps.push_back([&longName](CRssDialog& d) {
        EXPECT_EQ(static_cast<wxTextCtrl*>(d.FindWindow(CRenameDlg::kName))->GetValue(),
                  "New group");
        const Refusal cases[] = {
            {{{CRenameDlg::kName, ""}}, CRenameDlg::kName, "The name must not be empty."},
            {{{CRenameDlg::kName, "two\nlines"}},
             CRenameDlg::kName,
             "The name must not contain line breaks or other control characters."},
            {{{CRenameDlg::kName, longName}},
             CRenameDlg::kName,
             "The name is longer than 260 characters."},
        };
        ExpectRefusals(d, cases);
        ExpectWholeMessage(d, CRenameDlg::kMessage);
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
        const Refusal texts[] = {
            {{{D::kName, "C\r"}},
             D::kName,
             "The name must not contain line breaks or other control characters."},
            {{{D::kName, "C"}, {D::kDescription, "bell\a"}},
             D::kDescription,
             "The description must not contain line breaks or other control characters."},
        };
        ExpectRefusals(dialog, texts);
        ExpectWholeMessage(dialog, D::kMessage);
        static_cast<wxTextCtrl*>(d.FindWindow(D::kDescription))->ChangeValue("");
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

TEST_F(DialogTest, ImportGoesUnderTheSelectedGroupAndSaysWhatIsWrongOrThatNothingIsNew) {
    TestHttpServer server; // answers 404 to every list
    server.Start();
    WriteFileBytes(app / "list.opml", "<opml version=\"2.0\"><body><outline text=\"in\" "
                                      "xmlUrl=\"http://127.0.0.1:1/in\"/></body></opml>");
    WriteFileBytes(app / "notes.xml", "just some notes");
    WriteFileBytes(app / "empty.opml", "<opml version=\"2.0\"><body/></opml>");
    // A channel present already, one not http and one with an address too long.
    WriteFileBytes(app / "known.opml",
                   "<opml version=\"2.0\"><body><outline text=\"C\" "
                   "xmlUrl=\"http://127.0.0.1:1/c.xml\"/><outline text=\"js\" "
                   "xmlUrl=\"javascript:x\"/><outline text=\"long\" xmlUrl=\"http://127.0.0.1:1/" +
                       std::string(300, 'x') + "\"/></body></opml>");
    CGroup* group = model->Groups()[0].get();
    Select(CatalogueModel::NodeOf(group));
    const std::string files = Files();
    using D = CImportFeedDlg;
    steps.push_back([&](CRssDialog& d) {
        const Refusal cases[] = {
            {{{D::kPath, ""}}, D::kPath, "Enter the address of a channel list, or choose a file."},
            {{{D::kPath, app / "missing.opml"}}, D::kPath, "The file does not exist."},
            {{{D::kPath, app / "notes.xml"}}, D::kPath, "This is not an OPML channel list."},
            {{{D::kPath, app / "empty.opml"}}, D::kPath, "The list holds no groups or channels."},
            {{{D::kPath, server.Url("/list.opml")}},
             D::kPath,
             "The list could not be downloaded (HTTP 404)."},
            {{{D::kPath, app / "known.opml"}},
             D::kPath,
             "Nothing new in the list: 1 already present, 1 left out (not an http address), 1 "
             "left out (address too long)."},
        };
        ExpectRefusals(d, cases);
        ExpectWholeMessage(d, D::kMessage);
        EXPECT_EQ(Files(), files);
        static_cast<D&>(d).Verify()->SetValue(true);
        const Outcome notHttp = Press(d, {{D::kPath, "not-an-address"}});
        EXPECT_FALSE(notHttp.accepted);
        EXPECT_EQ(notHttp.message, "The address is not an http address.");
        EXPECT_TRUE(Press(d, {{D::kPath, app / "list.opml"}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->ImportCommand();
    ASSERT_EQ(model->Channels().size(), 3u);
    EXPECT_EQ(model->Channels()[2]->GetGroupId(), group->GetId());
    EXPECT_TRUE(CImportFeedDlg::IsLocalFeedFile(L"/a/b.OPML"));
    EXPECT_FALSE(CImportFeedDlg::IsLocalFeedFile(L"/a/b.Opml"));
    EXPECT_FALSE(CImportFeedDlg::IsLocalFeedFile(L"http://x/b.opml"));

    // The same in Chinese, where the long message wraps between characters.
    AddHostTexts(container, HostLanguage::kChinese);
    steps.push_back([this](CRssDialog& d) {
        EXPECT_FALSE(Press(d, {{D::kPath, app / "known.opml"}}).accepted);
        EXPECT_EQ(d.Message(), wxString(L"列表中没有新频道：1 个已经存在，1 个被略过（不是 "
                                        L"http 地址），1 个被略过（地址过长）。"));
        ExpectWholeMessage(d, D::kMessage);
        const auto* line = static_cast<wxStaticText*>(d.FindWindow(D::kMessage));
        EXPECT_GT(wxSplit(line->GetLabel(), '\n', '\0').size(), 1u); // it takes lines
        return static_cast<int>(wxID_CANCEL);
    });
    view->ImportCommand();
    EXPECT_EQ(model->Channels().size(), 3u);
}

TEST_F(DialogTest, OptionsCheckInOrderAndApplyToThePoolAndTheTimers) {
    using D = COptionsDlg;
    const wxString longText(256, 'x');
    steps.push_back([&longText](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        // The proxy fields follow the proxy box, which only its handler changes.
        EXPECT_FALSE(dialog.ProxyState());
        EXPECT_FALSE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        const char* const timeout = "The time-out must be a whole number of seconds from 10 to 35.";
        const char* const threads =
            "The number of worker threads must be a whole number from 1 to 30.";
        const Refusal cases[] = {
            {{{D::kThreads, "31"}, {D::kTimeout, "9"}}, D::kTimeout, timeout}, // the time-out first
            {{{D::kTimeout, "36"}}, D::kTimeout, timeout},
            {{{D::kTimeout, "35"}, {D::kAttempts, "6"}},
             D::kAttempts,
             "The number of attempts must be a whole number from 1 to 5."},
            {{{D::kAttempts, "5"}}, D::kThreads, threads},
            {{{D::kThreads, ""}}, D::kThreads, threads},
        };
        ExpectRefusals(dialog, cases);
        dialog.ToggleProxy();
        EXPECT_TRUE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        // Every text field refuses what the settings file would lose, naming the field.
        const Refusal proxy[] = {
            {{{D::kThreads, "7"}, {D::kProxyAddress, ""}, {D::kProxyPort, "70000"}},
             D::kProxyAddress,
             "Enter the proxy server's address, or turn the proxy off."},
            {{{D::kProxyAddress, "proxy"}},
             D::kProxyPort,
             "The proxy port must be a whole number from 1 to 65535."},
            {{{D::kProxyPort, "3128"}, {D::kProxyAddress, "proxy\nnext"}},
             D::kProxyAddress,
             "The proxy server address must not contain line breaks or other control "
             "characters."},
            {{{D::kProxyAddress, longText}},
             D::kProxyAddress,
             "The proxy server address is longer than 255 characters."},
            {{{D::kProxyAddress, "proxy"}, {D::kUserName, "user\r\nname"}},
             D::kUserName,
             "The user name must not contain line breaks or other control characters."},
            {{{D::kUserName, longText}},
             D::kUserName,
             "The user name is longer than 255 characters."},
            {{{D::kUserName, "user"}, {D::kPassword, "pass\tword"}},
             D::kPassword,
             "The password must not contain line breaks or other control characters."},
            {{{D::kPassword, wxString(388, 'p')}},
             D::kPassword,
             "The password is longer than 387 bytes."},
        };
        ExpectRefusals(dialog, proxy);
        ExpectWholeMessage(dialog, D::kMessage);
        static_cast<wxTextCtrl*>(d.FindWindow(D::kPassword))->ChangeValue("secret");
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
    for (const char* line :
         {"UpdateState=1", "ThreadNum=7", "ProxyState=0", "ProxyPort=0", "ProxyAddress=proxy",
          "UserName=user", "LinkNum=5", "LinkTime=35", "AllowHttps=1"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    EXPECT_EQ(CConfig().ReadUserPassword(), L"secret");
}

TEST_F(DialogTest, OptionsThatCannotBeSavedSaySoAndKeepTheDialogOpen) {
    // A folder where the settings file goes: no write can replace it.
    const std::string ini = app / "rss/RssUserCfg/Quorvel.ini";
    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);
    steps.push_back([&ini](CRssDialog& d) {
        const Outcome failed = Press(d, {{COptionsDlg::kThreads, "9"}});
        EXPECT_FALSE(failed.accepted);
        EXPECT_EQ(failed.message,
                  "The settings could not be saved (is the disk full or read-only?).");
        std::filesystem::remove(ini);
        EXPECT_TRUE(Press(d, {}).accepted);
        return static_cast<int>(wxID_OK);
    });
    frame->RunCommand(CMainFrame::Command::kOptions);
    EXPECT_NE(ReadFileBytes(ini).find("ThreadNum=9\r\n"), std::string::npos);
    EXPECT_EQ(frame->ThreadCount(), 9u);
}

TEST_F(DialogTest, DeletesAskByNameAndSayWhatStayed) {
    FakeMessageBoxes(6); // neither OK: nothing goes
    CGroup* group = model->Groups()[0].get();
    CChannel* c = model->Channels()[0].get();
    CGroup* sub = model->AddGroup(group, L"Sub");
    CChannel* d = model->AddChannel(sub, L"D", L"", L"http://127.0.0.1:1/d.xml");
    ASSERT_TRUE(PumpUntil([this] { return model->RunningJobs() == 0; }, 10000));
    const std::string page = platform::WideToUtf8(model->PagePath(c));
    WriteFileBytes(page, "page");
    const std::string files = Files();
    Select(CatalogueModel::NodeOf(group));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "Delete the group 'G' and its 2 channels?");
    Select(CatalogueModel::NodeOf(sub));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "Delete the group 'Sub' and its channel?");
    Select(CatalogueModel::NodeOf(c));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "Delete the channel 'C' and its items?");
    view->DeleteArticlesCommand();
    EXPECT_EQ(LastBox(), "Delete all items of 'C'?");
    EXPECT_EQ(ReadFileBytes(page), "page");
    EXPECT_EQ(Files(), files);
    EXPECT_EQ(model->Groups().size(), 2u);

    // Confirmed: the delete goes as far as it can and says what stayed and why. A folder
    // where D's page goes cannot be removed as a file.
    setenv("TESSAVIN_FAKE_MESSAGEBOX_ANSWER", "1", 1);
    const std::string stuck = platform::WideToUtf8(model->PagePath(d));
    std::filesystem::create_directory(stuck);
    Select(CatalogueModel::NodeOf(d));
    view->DeleteArticlesCommand();
    EXPECT_EQ(LastBox(), "The items of 'D' were not deleted: its files could not be removed.");
    Select(CatalogueModel::NodeOf(d));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "The channel 'D' was not deleted: its files could not be removed.");
    Select(CatalogueModel::NodeOf(group));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "The delete stopped at the channel 'D', whose files could not be "
                         "removed: the group 'G' stays, holding 1 of its channels.");
    ASSERT_EQ(model->Channels().size(), 2u); // C went; D and Other stayed
    EXPECT_NE(model->FindChannel(d->GetId()), nullptr);
    EXPECT_FALSE(platform::FileExists(platform::Utf8ToWide(page)));
    EXPECT_EQ(model->Groups().size(), 2u);

    std::filesystem::remove(stuck);
    Select(CatalogueModel::NodeOf(group));
    view->DeleteCommand();
    EXPECT_EQ(LastBox(), "Delete the group 'G' and its channel?"); // and no report after it
    EXPECT_EQ(model->Groups().size(), 0u);
    ASSERT_EQ(model->Channels().size(), 1u);
    Select(CatalogueModel::NodeOf(model->Channels()[0].get()));
    view->DeleteArticlesCommand();
    EXPECT_EQ(LastBox(), "Delete all items of 'Other'?");
}
