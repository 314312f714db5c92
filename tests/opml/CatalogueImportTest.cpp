#include "CatalogueFixture.h"
#include "TestHttpServer.h"
#include "platform/FileSystem.h"

#include <climits>
#include <httplib.h>

TEST_F(CatalogueFixture, DefaultListOnFirstStartOnly) {
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), "g1(c1 ) ");
    EXPECT_EQ(model->LastGroupId(), 1u);
    EXPECT_EQ(model->LastChannelId(), 1u);
    EXPECT_TRUE(log.Contains(L"Succeed to import feed from file or web"));
    Reopen(); // loaded again, not imported again
    EXPECT_EQ(model->Channels().size(), 1u);
    EXPECT_EQ(log.Count(L"Succeed to import feed from file or web"), 1u);
    // An emptied catalogue stays empty: the list is no refill.
    model->Delete(CatalogueModel::NodeOf(model->Groups()[0].get()));
    Reopen();
    EXPECT_TRUE(model->Groups().empty());
    EXPECT_TRUE(model->Channels().empty());
}

TEST_F(CatalogueFixture, ImportMergeGivesConsecutiveIds) {
    DefaultList("");
    Reopen(); // the empty default list fails to import and skips ids 1 and 1
    EXPECT_EQ(model->LastGroupId(), 1u);
    EXPECT_EQ(model->LastChannelId(), 1u);
    for (int i = 0; i < 3; ++i)
        model->AddGroup(nullptr, L"g");
    for (int i = 0; i < 19; ++i)
        model->AddChannel(nullptr, L"c" + std::to_wstring(i), L"",
                          L"http://127.0.0.1:1/" + std::to_wstring(i));
    ASSERT_EQ(model->LastGroupId(), 4u);
    ASSERT_EQ(model->LastChannelId(), 20u);
    std::string list = Opml(3, 3);
    list.insert(list.find("</body>"), "<outline kind=\"nkFeed\" text=\"T\" xmlUrl=\"http://t/\"/>");
    WriteFileBytes(app / "list.opml", list);
    ASSERT_EQ(Import("list.opml"), 1);
    EXPECT_EQ(model->LastGroupId(), 7u);
    EXPECT_EQ(model->LastChannelId(), 30u);
    EXPECT_NE(model->FindGroup(5), nullptr);
    EXPECT_NE(model->FindGroup(7), nullptr);
    EXPECT_EQ(model->FindChannel(21)->GetGroupId(), 5u);
    EXPECT_EQ(model->FindChannel(30)->GetGroupId(), 0u);
    EXPECT_EQ(model->FindChannel(21)->GetFileStem(), L"rss21");
    // A failed import skips one id of each kind; an empty list as well.
    EXPECT_EQ(Import("missing.opml"), 0);
    WriteFileBytes(app / "empty.opml", "<opml version=\"1.0\"><body></body></opml>");
    EXPECT_EQ(Import("empty.opml"), 2);
    EXPECT_EQ(model->LastGroupId(), 9u);
    EXPECT_EQ(model->LastChannelId(), 32u);
    Reopen(); // the ids skipped are taken again after a reload
    EXPECT_EQ(model->Groups().size(), 6u);
    EXPECT_EQ(model->Channels().size(), 29u);
    EXPECT_EQ(model->LastChannelId(), 30u);
}

TEST_F(CatalogueFixture, AListImportedUnderAGroupGoesWholeUnderItAndTwiceAddsNothing) {
    DefaultList("");
    Reopen();
    CGroup* target = model->AddGroup(nullptr, L"Target");
    const std::string list =
        "<opml version=\"2.0\"><body><outline text=\"Folder\"><outline text=\"in\" "
        "xmlUrl=\"http://127.0.0.1:1/in\"/></outline><outline text=\"top\" "
        "xmlUrl=\"http://127.0.0.1:1/top\"/></body></opml>";
    WriteFileBytes(app / "list.opml", list);
    ASSERT_EQ(Import("list.opml", target), 1);
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 ) c3 ) "); // (the empty default list took 1)
    EXPECT_EQ(importer->LastImport().channels, 2u);
    // The same list again: every channel is present already, so nothing is added.
    ASSERT_EQ(Import("list.opml"), 1);
    EXPECT_EQ(importer->LastImport().channels, 0u);
    EXPECT_EQ(importer->LastImport().alreadyPresent, 2u);
    EXPECT_TRUE(log.Contains(L"imported 0 groups and 0 channels, 2 already present"));
    EXPECT_EQ(model->Channels().size(), 2u);
    EXPECT_EQ(model->Groups().size(), 2u);
    // A folder of the list goes into the group of its name under the same parent only.
    WriteFileBytes(app / "more.opml",
                   "<opml version=\"2.0\"><body><outline text=\"Folder\"><outline text=\"new\" "
                   "xmlUrl=\"http://127.0.0.1:1/new\"/><outline text=\"js\" "
                   "xmlUrl=\"javascript:x\"/></outline><outline text=\"Target\"><outline "
                   "text=\"t\" xmlUrl=\"http://127.0.0.1:1/t\"/></outline></body></opml>");
    ASSERT_EQ(Import("more.opml", target), 1);
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 c4 ) c3 g4(c5 ) ) ");
    ASSERT_EQ(Import("more.opml"), 1);
    EXPECT_EQ(importer->LastImport().alreadyPresent, 2u);
    EXPECT_EQ(importer->LastImport().notHttp, 1u);
    // Ids go on from where they were.
    EXPECT_EQ(model->AddGroup(nullptr, L"next")->GetId(), 5u);
}

// An import whose ids would run past the last id takes nothing, for groups and channels
// alike (a group id that wrapped would be 0, the top level); the last id itself is given once.
TEST_F(CatalogueFixture, TheLastIdIsGivenOnceAndNothingWraps) {
    for (const bool groups : {true, false}) {
        Reopen();
        if (groups)
            model->AddGroup(nullptr, L"x")->SetId(UINT32_MAX - 1);
        else
            model->AddChannel(nullptr, L"x", L"", L"http://x/")->SetId(UINT32_MAX - 1);
        model->SaveGroups();
        model->SaveChannels();
        Reopen();
        const std::string before = Shape(model->TopLevel());
        // Two new groups, or two new channels.
        WriteFileBytes(app / "two.opml",
                       groups ? "<opml><body><outline kind=\"nkPath\" text=\"N1\"/><outline "
                                "kind=\"nkPath\" text=\"N2\"/></body></opml>"
                              : "<opml><body><outline text=\"a\" xmlUrl=\"http://new/a\"/><outline "
                                "text=\"b\" xmlUrl=\"http://new/b\"/></body></opml>");
        EXPECT_EQ(Import("two.opml"), 0) << groups;
        EXPECT_EQ(importer->LastImport().problem, CatalogueImport::ImportProblem::kNoIds);
        EXPECT_EQ(Shape(model->TopLevel()), before) << groups;
        EXPECT_EQ(model->FindGroup(0), nullptr);
        EXPECT_EQ(model->FindChannel(0), nullptr);
    }
    Reopen(); // the last ids, skipped by the failed imports, are free again
    ASSERT_NE(model->AddGroup(nullptr, L"the last"), nullptr);
    EXPECT_EQ(model->Groups().back()->GetId(), UINT32_MAX);
    EXPECT_EQ(model->AddGroup(nullptr, L"wraps to the top level"), nullptr);
    ASSERT_NE(model->AddChannel(nullptr, L"the last", L"", L"http://127.0.0.1:1/last"), nullptr);
    EXPECT_EQ(model->Channels().back()->GetId(), UINT32_MAX);
    EXPECT_EQ(model->AddChannel(nullptr, L"wraps", L"", L"http://127.0.0.1:1/w"), nullptr);
    EXPECT_EQ(Import("two.opml"), 0);
}

TEST_F(CatalogueFixture, AnAddressThatIsAPageOrAFeedImportsItsFeeds) {
    DefaultList("");
    Reopen();
    TestHttpServer server;
    server.Serve("/page",
                 "<html><head><link rel=alternate type=application/rss+xml "
                 "href=/a.xml title='A &amp; \"B\"'><link rel=alternate "
                 "type=application/atom+xml href=/b.xml></head></html>",
                 "text/html");
    server.Serve("/feed.xml", "<rss version=\"2.0\"><channel></channel></rss>");
    server.Serve("/none", "<HTML><body>nothing</body></HTML>", "text/html");
    server.Serve("/data", "<data/>", "text/xml");
    // Reached through a redirect: its link is relative to where it is.
    server.Serve("/blog/", "<link rel=alternate type=application/rss+xml href=c.xml>", "text/html");
    server.Get("/moved", [&server](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(server.Url("/blog/"), 302);
    });
    server.Start();
    using P = CatalogueImport::ImportProblem;
    const struct {
        const char* path;
        int result;
        P problem;
        std::wstring channels; // "name=address;" of the channels added
    } cases[] = {
        {"/page", 1, P::kNone, L"A & \"B\"=/a.xml;/b.xml=/b.xml;"},
        {"/feed.xml", 1, P::kNone, L"/feed.xml=/feed.xml;"},
        {"/none", 0, P::kNoFeed, L""},
        {"/data", 0, P::kNotList, L""},
        {"/moved", 1, P::kNone, L"/blog/c.xml=/blog/c.xml;"},
    };
    for (const auto& test : cases) {
        const size_t before = model->Channels().size();
        EXPECT_EQ(importer->Import(platform::Utf8ToWide(server.Url(test.path)), nullptr),
                  test.result)
            << test.path;
        EXPECT_EQ(importer->LastImport().problem, test.problem) << test.path;
        std::wstring added;
        const std::wstring root = platform::Utf8ToWide(server.Url(""));
        auto local = [&root](std::wstring text) {
            return text.rfind(root, 0) == 0 ? text.substr(root.size()) : text;
        };
        for (size_t i = before; i < model->Channels().size(); ++i)
            added += local(model->Channels()[i]->GetName()) + L"=" +
                     local(model->Channels()[i]->GetUrl()) + L";";
        EXPECT_EQ(added, test.channels) << test.path;
    }
    EXPECT_FALSE(platform::FileExists(model->DataFolder() + L"/import.opml.download"));
}
