#pragma once

#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "engine/ThreadPool.h"
#include "opml/CatalogueImport.h"
#include "platform/CodePage.h"
#include "platform/MessageQueue.h"
#include "update/UpdateScheduler.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// Nodes as "g<id>(children...)" / "c<id>", in tree order.
inline std::string Shape(const std::vector<CatalogueNode*>& nodes) {
    std::ostringstream out;
    for (CatalogueNode* n : nodes) {
        if (n->group)
            out << "g" << n->group->GetId() << "(" << Shape(n->children) << ")";
        else
            out << "c" << n->channel->GetId();
        out << " ";
    }
    return out.str();
}

// A list of `groups` groups "G<n>" with `channelsPerGroup` channels each.
inline std::string Opml(int groups, int channelsPerGroup) {
    std::string body;
    for (int g = 0; g < groups; ++g) {
        body += "<outline kind=\"nkPath\" text=\"G" + std::to_string(g) + "\">";
        for (int c = 0; c < channelsPerGroup; ++c)
            body += "<outline kind=\"nkFeed\" text=\"C\" xmlUrl=\"http://x/" + std::to_string(g) +
                    "/" + std::to_string(c) + "\"/>";
        body += "</outline>";
    }
    return "<opml version=\"1.0\"><body>" + body + "</body></opml>";
}

// A catalogue opened as a host opens it: the model, its updates on a pool of three workers,
// and its imports (the default list, one group with one channel, on the first start).
class CatalogueFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "rss/RssUserCfg");
        CConfig().PrepareDataFolders();
        settingsPath = app.WPath() + L"rss/RssUserCfg/Quorvel.ini";
        DefaultList(Opml(1, 1));
    }
    void TearDown() override { Reopen(false); }
    void DefaultList(const std::string& bytes) {
        WriteFileBytes(app / "userdata/rss/RssUserCfg/userdefinechannel.opml", bytes);
    }
    // Closes the catalogue (the pool before the records, as a host must) and opens it again.
    void Reopen(bool open = true, ICatalogueObserver* observer = nullptr) {
        if (updates)
            updates->Close();
        if (model)
            model->Close();
        pool.reset();
        importer.reset();
        updates.reset();
        model.reset();
        if (!open)
            return;
        pool = std::make_unique<CThreadPool>(3);
        model = std::make_unique<CatalogueModel>(observer);
        UpdateScheduler::Targets targets;
        targets.view = &view;
        targets.frame = &frame;
        updates = std::make_unique<UpdateScheduler>(*model, targets, pool.get());
        importer = std::make_unique<CatalogueImport>(*model, &frame);
        ASSERT_TRUE(model->Open());
        importer->ImportDefaultListIfNew();
    }
    // Handles view messages until no update runs.
    void Settle() {
        for (int i = 0; i < 1000; ++i) {
            platform::PostedMessage m;
            if (view.WaitNext(m, 10))
                updates->HandleMessage(m);
            if (!updates->UpdateAllRunning() && updates->RunningJobs() == 0 && view.Size() == 0)
                return;
        }
        FAIL() << "updates did not end";
    }
    int Import(const std::string& file, CGroup* parent = nullptr) {
        return importer->Import(app.WPath() + platform::Utf8ToWide(file), parent);
    }

    TempDir app;
    LogCapture log{app.Path()};
    platform::MessageQueue view, frame;
    std::unique_ptr<CThreadPool> pool;
    std::unique_ptr<CatalogueModel> model;
    std::unique_ptr<UpdateScheduler> updates;
    std::unique_ptr<CatalogueImport> importer;
};
