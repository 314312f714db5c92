#include "CatalogueFixture.h"
#include "platform/CodePage.h"

TEST_F(CatalogueFixture, DeletingAGroupStopsAtAnUpdatingChannelAndSavesBoth) {
    DefaultList("");
    Reopen();
    CGroup* top = model->AddGroup(nullptr, L"Top");
    CGroup* inner = model->AddGroup(top, L"Inner");
    CChannel* a = model->AddChannel(inner, L"a", L"", L"http://127.0.0.1:1/a");
    CChannel* b = model->AddChannel(top, L"b", L"", L"http://127.0.0.1:1/b");
    model->AddChannel(top, L"c", L"", L"http://127.0.0.1:1/c");
    // Ids 1 were skipped by the failed import of the empty default list.
    EXPECT_EQ(Shape(model->TopLevel()), "g2(g3(c2 ) c3 c4 ) ");
    b->SetUpdating(true); // an update runs for b
    EXPECT_FALSE(model->Delete(CatalogueModel::NodeOf(top)));
    EXPECT_TRUE(log.Contains(L"The channel b is being updated, Can't delete it"));
    EXPECT_EQ(Shape(model->TopLevel()), "g2(c3 c4 ) "); // a and Inner went first
    // Nor are its articles deleted while it updates.
    const std::string page = platform::WideToUtf8(model->FilesOf(b).Page());
    WriteFileBytes(page, "page");
    EXPECT_FALSE(model->DeleteChannelArticles(b));
    EXPECT_TRUE(Exists(page));
    b->SetUpdating(false);
    EXPECT_TRUE(model->DeleteChannelArticles(b));
    EXPECT_FALSE(Exists(page));
    (void)a;
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), "g2(c3 c4 ) ");
    EXPECT_EQ(model->FindGroup(3), nullptr);
}

TEST_F(CatalogueFixture, MovesWithTheirRefusalsSurviveAReload) {
    DefaultList("");
    Reopen();
    CGroup* g1 = model->AddGroup(nullptr, L"one");
    CGroup* g2 = model->AddGroup(g1, L"two");
    CGroup* g3 = model->AddGroup(nullptr, L"three");
    CChannel* c1 = model->AddChannel(g2, L"x", L"", L"http://127.0.0.1:1/x");
    using R = CatalogueModel::MoveResult;
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g1), R::kOntoItself);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g2), R::kIntoOwnSubtree);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g3), nullptr), R::kAlreadyTopLevel);
    // one(two(x)) moves under three, which stands after it in the group list.
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(g1), g3), R::kMoved);
    EXPECT_EQ(Shape(model->TopLevel()), "g4(g2(g3(c2 ) ) ) ");
    EXPECT_EQ(g1->GetParentId(), 4u);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(c1), nullptr), R::kMoved);
    EXPECT_EQ(c1->GetGroupId(), 0u);
    Reopen(); // the group list keeps every group after its parent
    EXPECT_EQ(Shape(model->TopLevel()), "g4(g2(g3() ) ) c2 ");
    EXPECT_EQ(model->Groups()[0]->GetId(), 4u);
    // A node dropped under a parent stands last there, and still does after a reload.
    CGroup* g5 = model->AddGroup(nullptr, L"five");
    CGroup* g6 = model->AddGroup(g5, L"six");
    CChannel* c6 = model->AddChannel(nullptr, L"y", L"", L"http://127.0.0.1:1/y");
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindGroup(4)), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindChannel(2)), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(c6), g5), R::kMoved);
    EXPECT_EQ(model->Move(CatalogueModel::NodeOf(model->FindChannel(2)), g5), R::kMoved);
    const std::string shape = Shape(model->TopLevel());
    EXPECT_EQ(shape, "g" + std::to_string(g5->GetId()) + "(g" + std::to_string(g6->GetId()) +
                         "() g4(g2(g3() ) ) c" + std::to_string(c6->GetId()) + " c2 ) ");
    Reopen();
    EXPECT_EQ(Shape(model->TopLevel()), shape);
}

TEST_F(CatalogueFixture, CountHandlersAtTheirBounds) {
    DefaultList("");
    Reopen();
    CChannel* c = model->AddChannel(nullptr, L"n", L"", L"http://127.0.0.1:1/n");
    c->SetCounts(5, 5);
    model->OnItemReadChanged(0, c); // all unread already
    EXPECT_EQ(c->NodeText(), L"n(5/5)");
    model->OnItemReadChanged(1, c);
    EXPECT_EQ(c->NodeText(), L"n(4/5)");
    c->SetCounts(0, 5);
    model->OnItemReadChanged(1, c);
    EXPECT_EQ(c->NodeText(), L"n(0/5)");
    model->OnItemDeleted(0, c); // an unread one, but none is unread: nothing
    EXPECT_EQ(c->NodeText(), L"n(0/5)");
    model->OnItemDeleted(1, c);
    EXPECT_EQ(c->NodeText(), L"n(0/4)");
    c->SetCounts(0, 1);
    WriteFileBytes(platform::WideToUtf8(model->FilesOf(c).Page()), "page");
    WriteFileBytes(platform::WideToUtf8(model->FilesOf(c).State()), "F100   x\n");
    std::string validators = platform::WideToUtf8(model->FilesOf(c).Page());
    validators.replace(validators.size() - 4, 4, "http");
    WriteFileBytes(validators, "validators 1\nurl=http://127.0.0.1:1/n\netag=x\nmodified=\n");
    c->SetLastBuildDate("d");
    model->OnItemDeleted(1, c); // the last item: articles go
    EXPECT_EQ(c->NodeText(), L"n(0/0)");
    EXPECT_FALSE(Exists(platform::WideToUtf8(model->FilesOf(c).Page())));
    EXPECT_FALSE(Exists(platform::WideToUtf8(model->FilesOf(c).State())));
    EXPECT_FALSE(Exists(validators)); // else the next update would be "not modified"
    EXPECT_EQ(c->GetLastBuildDate(), "");
    model->OnItemDeleted(1, c); // nothing left
    EXPECT_EQ(c->NodeText(), L"n(0/0)");
    // A failure reason keeps its first 200 bytes, in the model and in the health file.
    const std::string reason(200, 'r');
    model->RecordHealth(c, true, reason + "cut");
    EXPECT_EQ(model->HealthOf(c)->Reason(), reason);
    const std::string health = ReadFileBytes(platform::WideToUtf8(model->FilesOf(c).Health()));
    EXPECT_EQ(health.substr(health.find("\nReason=")), "\nReason=" + reason + "\n");
    const uint32_t id = c->GetId();
    Reopen(); // the failure is known again, until an update succeeds
    c = model->FindChannel(id);
    EXPECT_EQ(c->NodeText(), L"n(0/0)");
    EXPECT_EQ(model->HealthOf(c)->Reason(), reason);
    model->RecordHealth(c, false, "");
    EXPECT_EQ(model->HealthOf(c), nullptr);
    EXPECT_FALSE(Exists(platform::WideToUtf8(model->FilesOf(c).Health())));
}
