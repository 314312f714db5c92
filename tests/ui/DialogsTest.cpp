#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "engine/ThreadPool.h"
#include "ui/AddChannelDlg.h"
#include "ui/AddGroupDlg.h"
#include "ui/ChannelPropertyDlg.h"
#include "ui/ImportFeedDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/RenameDlg.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <wx/arrstr.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
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

// A value typed into one field and refused: the focus goes to the field, with the message.
struct Refusal {
    int field;
    wxString value;
    const char* message;
};

class DialogTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        AddEnglishTexts(container);
        MakeCatalogue([](CatalogueModel& catalogue) {
            CGroup* group = catalogue.AddGroup(nullptr, L"G");
            CChannel* c = catalogue.AddChannel(group, L"C", L"", L"http://127.0.0.1:1/c.xml");
            c->SetInterval(30);
            c->SetLastBuildDate("kept");
            catalogue.AddChannel(nullptr, L"Other", L"", L"http://127.0.0.1:1/other.xml");
        });
        Start(&container);
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
    // Each case typed over values that every check takes, and refused; then the whole
    // message shows: the message line gets the room its text needs, inside the dialog, and its
    // lines hold every word of the message.
    static void ExpectRefusals(CRssDialog& dialog, const std::map<int, wxString>& valid,
                               const std::vector<Refusal>& cases, int messageId) {
        for (const Refusal& test : cases) {
            std::map<int, wxString> values = valid;
            values[test.field] = test.value;
            const Outcome outcome = Press(dialog, values);
            EXPECT_FALSE(outcome.accepted) << test.message;
            EXPECT_EQ(outcome.focus, test.field) << test.message;
            EXPECT_EQ(outcome.message, test.message);
        }
        ExpectWholeMessage(dialog, messageId);
    }
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
    // The text of the message boxes shown since the last call, without their captions.
    std::string BoxText() {
        const std::string shown = Boxes();
        return shown.substr(0, shown.find('|'));
    }
    void Select(CatalogueNode* node) { view->SelectItem(view->ItemOf(node)); }
    std::string Files() {
        return ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Channel.dat") + "|" +
               ReadFileBytes(app / "userdata/rss/ReadRecord/Common/Group.dat") + "|" +
               ReadFileBytes(app / "rss/RssUserCfg/Quorvel.ini");
    }

    HostContainer container;
    std::deque<std::function<int(CRssDialog&)>> steps;
};

const char* const kControl = "The name must not contain line breaks or other control characters.";
const char* const kDescriptionControl =
    "The description must not contain line breaks or other control characters.";

} // namespace

TEST_F(DialogTest, AddChannelChecksInOrderWithTheReasonAndTheFocus) {
    CChannel* c = model->Channels()[0].get();
    Select(CatalogueModel::NodeOf(model->Groups()[0].get()));
    const std::string files = Files();
    using D = CAddChannelDlg;
    steps.push_back([&](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        EXPECT_EQ(dialog.GetTitle(), "Add channel");
        EXPECT_TRUE(dialog.Verify()->GetValue());
        // The reason is shown whole, however long; made wider, the dialog gives it one line.
        EXPECT_EQ(Press(dialog, {{D::kName, "two\nlines"}}).message, kControl);
        ExpectWholeMessage(dialog, D::kMessage);
        dialog.Show();
        dialog.SetSize(dialog.GetSize() + wxSize(400, 0));
        PumpEvents(50);
        ExpectWholeMessage(dialog, D::kMessage);
        EXPECT_EQ(static_cast<wxStaticText*>(dialog.FindWindow(D::kMessage))->GetLabel(),
                  dialog.Message());
        const wxString https = "https://127.0.0.1:1/new.xml";
        ExpectRefusals(dialog, {{D::kName, "N"}, {D::kDescription, ""}},
                       {{D::kName, "", "The channel name must not be empty."},
                        {D::kDescription, "ring\a", kDescriptionControl},
                        {D::kAddress, c->GetUrl(), "A channel with this address exists already."},
                        {D::kAddress, https, "The channel address is not a valid http address."}},
                       D::kMessage);
        // Without the verify box an https address is taken (when unique).
        dialog.Verify()->SetValue(false);
        EXPECT_TRUE(Press(dialog, {{D::kAddress, https}}).accepted);
        return static_cast<int>(wxID_OK);
    });
    view->AddChannelCommand();
    ASSERT_EQ(model->Channels().size(), 3u);
    CChannel* added = model->Channels()[2].get();
    EXPECT_EQ(added->GetName(), L"N");
    EXPECT_EQ(added->GetUrl(), L"https://127.0.0.1:1/new.xml");
    EXPECT_EQ(added->GetGroupId(), model->Groups()[0]->GetId());
    EXPECT_NE(Files(), files);
    PumpUntil([this] { return frame->Updates()->RunningJobs() == 0; }, 10000);
}

TEST_F(DialogTest, AddChannelReadsAPageAndTakesTheFeedChosen) {
    TestHttpServer server;
    server.Serve("/two.html",
                 "<html><head><link rel=alternate type=application/rss+xml href=/a.xml "
                 "title='Posts'><link rel=alternate type=application/atom+xml href=/b.xml>"
                 "</head></html>",
                 "text/html");
    server.Serve("/none.html", "<html><body>x</body></html>", "text/html");
    server.Serve("/b.xml", "<rss version=\"2.0\"><channel></channel></rss>");
    server.Start();
    using D = CAddChannelDlg;
    steps.push_back([&](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        auto read = [&dialog](const std::string& path) {
            EXPECT_FALSE(Press(dialog, {{D::kName, "Site"}, {D::kAddress, path}}).accepted);
            EXPECT_TRUE(PumpUntil([&dialog] { return !dialog.Finding(); }, 10000));
            EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());
        };
        read(server.Url("/none.html"));
        EXPECT_EQ(dialog.Message(), "No feed found on this page.");
        EXPECT_FALSE(dialog.Feeds()->IsShown());
        read(server.Url("/two.html"));
        EXPECT_FALSE(dialog.Accepted());
        wxListBox* feeds = dialog.Feeds();
        EXPECT_EQ(feeds->GetCount(), 2u);
        if (feeds->GetCount() != 2)
            return static_cast<int>(wxID_CANCEL);
        EXPECT_EQ(feeds->GetString(0),
                  wxString::FromUTF8("Posts  \u2014  " + server.Url("/a.xml")));
        EXPECT_EQ(feeds->GetString(1), server.Url("/b.xml"));
        // News in the text colour, not a refusal's red.
        EXPECT_NE(dialog.FindWindow(D::kMessage)->GetForegroundColour(), *wxRED);
        // With the verify box a feed found is read first: /a.xml is missing.
        EXPECT_FALSE(Press(dialog, {}).accepted);
        EXPECT_TRUE(PumpUntil([&dialog] { return !dialog.Finding(); }, 10000));
        EXPECT_EQ(dialog.Message(), "The address could not be read (HTTP 404).");
        EXPECT_FALSE(dialog.Accepted());
        // The second line, clicked: the address follows it, and OK takes it.
        dialog.Show();
        PumpEvents(50);
        int y = 0;
        while (y < feeds->GetClientSize().y && feeds->HitTest(wxPoint(10, y)) != 1)
            ++y;
        ClickAt(feeds->ClientToScreen(wxPoint(10, y + 2)));
        EXPECT_EQ(dialog.Address(), platform::Utf8ToWide(server.Url("/b.xml")));
        dialog.Hide();
        EXPECT_FALSE(Press(dialog, {}).accepted);
        EXPECT_TRUE(PumpUntil([&dialog] { return dialog.Accepted(); }, 10000));
        return static_cast<int>(wxID_OK);
    });
    view->AddChannelCommand();
    ASSERT_EQ(model->Channels().size(), 3u);
    EXPECT_EQ(model->Channels()[2]->GetUrl(), platform::Utf8ToWide(server.Url("/b.xml")));
    PumpUntil([this] { return frame->Updates()->RunningJobs() == 0; }, 10000);
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
    steps.push_back([](CRssDialog& d) {
        ExpectRefusals(d, {},
                       {{CAddGroupDlg::kName, "   ", "The group name must not be empty."},
                        {CAddGroupDlg::kName, "a\tb", kControl}},
                       CAddGroupDlg::kMessage);
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
        ExpectRefusals(d, {},
                       {{CRenameDlg::kName, "", "The name must not be empty."},
                        {CRenameDlg::kName, "two\nlines", kControl}},
                       CRenameDlg::kMessage);
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
        const std::map<int, wxString> valid{
            {D::kMaxItems, "1000"}, {D::kInterval, "240"}, {D::kName, "C"}, {D::kDescription, ""}};
        ExpectRefusals(dialog, valid,
                       {{D::kMaxItems, "1001", "At most 1000 items can be kept."},
                        {D::kInterval, "", "The update interval is at least 10 minutes."},
                        {D::kAddress, "http://127.0.0.1:1/other.xml",
                         "A channel with this address exists already."},
                        {D::kName, "C\r", kControl},
                        {D::kDescription, "bell\a", kDescriptionControl}},
                       D::kMessage);
        static_cast<wxTextCtrl*>(d.FindWindow(D::kAddress))->ChangeValue("ftp://x/");
        dialog.CheckAddress();
        EXPECT_EQ(dialog.Message(), "The channel address is not a valid http address.");
        static_cast<wxTextCtrl*>(d.FindWindow(D::kAddress))->ChangeValue(c->GetUrl());
        EXPECT_TRUE(Press(dialog, valid).accepted);
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
    WriteFileBytes(app / "list.opml", "<opml version=\"2.0\"><body><outline text=\"in\" "
                                      "xmlUrl=\"http://127.0.0.1:1/in\"/></body></opml>");
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
        ExpectRefusals(d, {},
                       {{D::kPath, "", "Enter the address of a channel list, or choose a file."},
                        {D::kPath, app / "missing.opml", "The file does not exist."},
                        {D::kPath, app / "known.opml",
                         "Nothing new in the list: 1 already present, 1 left out (not an http "
                         "address), 1 left out (address too long)."}},
                       D::kMessage);
        EXPECT_EQ(Files(), files);
        static_cast<D&>(d).Verify()->SetValue(true);
        EXPECT_EQ(Press(d, {{D::kPath, "not-an-address"}}).message,
                  "The address is not an http address.");
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

TEST_F(DialogTest, ImportDownloadsOffTheUiThreadAndCancelEndsTheDownload) {
    TestHttpServer server;
    server.Serve("/list.opml",
                 "<opml version=\"2.0\"><body><outline text=\"w\" "
                 "xmlUrl=\"http://127.0.0.1:1/w\"/></body></opml>",
                 "text/xml");
    server.Start();
    StallingServer stalled;
    using D = CImportFeedDlg;
    const struct {
        std::string address;
        int answer;
    } cases[] = {{server.Url("/list.opml"), wxID_OK},
                 {"http://127.0.0.1:" + std::to_string(stalled.Port()) + "/x", wxID_CANCEL}};
    for (const auto& test : cases) {
        steps.push_back([&](CRssDialog& d) {
            auto& dialog = static_cast<D&>(d);
            EXPECT_FALSE(Press(d, {{D::kPath, test.address}}).accepted);
            if (test.answer == wxID_CANCEL) {
                EXPECT_TRUE(dialog.Downloading());
                EXPECT_FALSE(d.FindWindow(wxID_OK)->IsEnabled());
            } else {
                EXPECT_TRUE(PumpUntil([&dialog] { return dialog.Accepted(); }, 10000));
            }
            return test.answer;
        });
        const auto start = std::chrono::steady_clock::now();
        view->ImportCommand();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(model->Channels().size(), 3u) << test.address;
    }
}

TEST_F(DialogTest, OptionsCheckEachFieldAndApplyToThePoolAndTheTimers) {
    using D = COptionsDlg;
    steps.push_back([](CRssDialog& d) {
        auto& dialog = static_cast<D&>(d);
        // The proxy fields follow the proxy box, which only its handler changes.
        EXPECT_FALSE(dialog.ProxyState());
        EXPECT_FALSE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        std::map<int, wxString> valid{{D::kTimeout, "35"}, {D::kAttempts, "5"}, {D::kThreads, "7"}};
        ExpectRefusals(
            dialog, valid,
            {{D::kTimeout, "9", "The time-out must be a whole number of seconds from 10 to 35."},
             {D::kAttempts, "6", "The number of attempts must be a whole number from 1 to 5."},
             {D::kThreads, "",
              "The number of worker threads must be a whole number from 1 to 30."}},
            D::kMessage);
        dialog.ToggleProxy();
        EXPECT_TRUE(d.FindWindow(D::kProxyAddress)->IsEnabled());
        // Every text field refuses what the settings file would lose, naming the field.
        valid.insert({{D::kProxyAddress, "proxy"},
                      {D::kProxyPort, "3128"},
                      {D::kUserName, "user"},
                      {D::kPassword, "secret"}});
        ExpectRefusals(
            dialog, valid,
            {{D::kProxyAddress, "", "Enter the proxy server's address, or turn the proxy off."},
             {D::kProxyPort, "70000", "The proxy port must be a whole number from 1 to 65535."},
             {D::kUserName, "user\r\nname",
              "The user name must not contain line breaks or other control characters."},
             {D::kPassword, wxString(388, 'p'), "The password is longer than 387 bytes."}},
            D::kMessage);
        static_cast<wxTextCtrl*>(d.FindWindow(D::kPassword))->ChangeValue("secret");
        dialog.ToggleProxy(); // off again: an empty port is taken
        dialog.ToggleAutoUpdate();
        EXPECT_FALSE(static_cast<wxCheckBox*>(d.FindWindow(D::kAllowHttps))->GetValue());
        dialog.ToggleAllowHttps();
        EXPECT_TRUE(static_cast<wxCheckBox*>(d.FindWindow(D::kAllowHttps))->GetValue());
        EXPECT_TRUE(static_cast<wxCheckBox*>(d.FindWindow(D::kNotifyNewItems))->GetValue());
        dialog.ToggleNotifyNewItems();
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
          "UserName=user", "LinkNum=5", "LinkTime=35", "AllowHttps=1", "NotifyNewItems=0"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    EXPECT_EQ(CConfig().ReadUserPassword(), L"secret");

    // Settings that cannot be saved (a folder where the file goes) say so; the dialog stays.
    const std::string path = app / "rss/RssUserCfg/Quorvel.ini";
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    steps.push_back([&path](CRssDialog& d) {
        EXPECT_EQ(Press(d, {{D::kThreads, "9"}}).message,
                  "The settings could not be saved (is the disk full or read-only?).");
        std::filesystem::remove(path);
        EXPECT_TRUE(Press(d, {}).accepted);
        return static_cast<int>(wxID_OK);
    });
    frame->RunCommand(CMainFrame::Command::kOptions);
    EXPECT_NE(ReadFileBytes(path).find("ThreadNum=9\r\n"), std::string::npos);
    EXPECT_EQ(frame->ThreadCount(), 9u);
}

TEST_F(DialogTest, DeletesAskByNameAndSayWhatStayed) {
    FakeMessageBoxes("6"); // neither OK: nothing goes
    CGroup* group = model->Groups()[0].get();
    CChannel* c = model->Channels()[0].get();
    CGroup* sub = model->AddGroup(group, L"Sub");
    CChannel* d = model->AddChannel(sub, L"D", L"", L"http://127.0.0.1:1/d.xml");
    ASSERT_TRUE(PumpUntil([this] { return frame->Updates()->RunningJobs() == 0; }, 10000));
    const std::string page = platform::WideToUtf8(model->FilesOf(c).Page());
    WriteFileBytes(page, "page");
    const std::string files = Files();
    // Each command on its node, with the question it asks.
    auto asks = [this](CatalogueNode* node, bool articles) {
        Select(node);
        if (articles)
            view->DeleteArticlesCommand();
        else
            view->DeleteCommand();
        return BoxText();
    };
    EXPECT_EQ(asks(CatalogueModel::NodeOf(group), false),
              "Delete the group 'G' and its 2 channels?");
    EXPECT_EQ(asks(CatalogueModel::NodeOf(sub), false), "Delete the group 'Sub' and its channel?");
    EXPECT_EQ(asks(CatalogueModel::NodeOf(c), false), "Delete the channel 'C' and its items?");
    EXPECT_EQ(asks(CatalogueModel::NodeOf(c), true), "Delete all items of 'C'?");
    EXPECT_EQ(ReadFileBytes(page), "page");
    EXPECT_EQ(Files(), files);
    EXPECT_EQ(model->Groups().size(), 2u);

    // Confirmed: the delete goes as far as it can and says what stayed and why. A folder
    // where D's page goes cannot be removed as a file.
    FakeMessageBoxes("1");
    const std::string stuck = platform::WideToUtf8(model->FilesOf(d).Page());
    std::filesystem::create_directory(stuck);
    EXPECT_EQ(asks(CatalogueModel::NodeOf(d), true),
              "The items of 'D' were not deleted: its files could not be removed.");
    EXPECT_EQ(asks(CatalogueModel::NodeOf(d), false),
              "The channel 'D' was not deleted: its files could not be removed.");
    EXPECT_EQ(asks(CatalogueModel::NodeOf(group), false),
              "The delete stopped at the channel 'D', whose files could not be removed: the "
              "group 'G' stays, holding 1 of its channels.");
    ASSERT_EQ(model->Channels().size(), 2u); // C went; D and Other stayed
    EXPECT_NE(model->FindChannel(d->GetId()), nullptr);
    EXPECT_FALSE(platform::FileExists(platform::Utf8ToWide(page)));
    EXPECT_EQ(model->Groups().size(), 2u);

    std::filesystem::remove(stuck);
    // (The question only, no report after it.)
    EXPECT_EQ(asks(CatalogueModel::NodeOf(group), false), "Delete the group 'G' and its channel?");
    EXPECT_EQ(model->Groups().size(), 0u);
    ASSERT_EQ(model->Channels().size(), 1u);
    EXPECT_EQ(asks(CatalogueModel::NodeOf(model->Channels()[0].get()), true),
              "Delete all items of 'Other'?");
}
