// The channel tree with a catalogue of 2,000 channels in 100 groups: the time to fill a tree
// view from it (and to build the whole main frame with it) and to handle 2,000 posted 11901
// messages (an update of all channels finishing), with the peak memory of the process. Needs a
// display (run it under Xvfb).
//
//   bench_tree [REPETITIONS]
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "engine/Messages.h"
#include "opml/CatalogueImport.h"
#include "platform/CodePage.h"
#include "platform/ResourceModule.h"
#include "ui/MainFrame.h"
#include "ui/RssChannelView.h"
#include "ui/WxMessageTarget.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <vector>
#include <wx/app.h>
#include <wx/frame.h>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Set once the figures are printed: the app ends from OnInit, which wx counts as a failure.
bool measured = false;

class BenchApp : public wxApp {
public:
    bool OnInit() override {
        const int runs = argc > 1 ? std::atoi(argv[1].c_str()) : 5;
        const std::string app = std::filesystem::temp_directory_path().string() +
                                "/tessavin-bench-tree-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(app + "rss/RssUserCfg");
        setenv("TESSAVIN_APP_DIR", app.c_str(), 1);
        {
            std::ofstream(app + "rss/RssUserCfg/Quorvel.ini") << "[Common]\r\nUpdateState=0\r\n";
            CConfig config;
            config.Initialize(L"Quorvel.ini");
            std::string opml = "<opml version=\"1.0\"><body>";
            for (int g = 0; g < 100; ++g) {
                opml += "<outline kind=\"nkPath\" text=\"Group " + std::to_string(g) + "\">";
                for (int c = 0; c < 20; ++c)
                    opml += "<outline kind=\"nkFeed\" text=\"Channel " + std::to_string(c) +
                            "\" xmlUrl=\"http://127.0.0.1:9/" + std::to_string(g) + "/" +
                            std::to_string(c) + "\"/>";
                opml += "</outline>";
            }
            std::ofstream(app + "list.opml") << opml + "</body></opml>";
            CatalogueModel model(nullptr);
            model.Open();
            CatalogueImport(model, nullptr)
                .Import(platform::Utf8ToWide(app + "list.opml"), nullptr);
        }
        resources_ = platform::ResourceModule::Load(
            platform::Utf8ToWide(std::string(TESSAVIN_PLUGIN_SOURCE_DIR) + "/res"));
        platform::ResourceModule::SetActive(resources_.get());
        auto* host = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(800, 600));
        host->Show();
        std::vector<double> fill, frameFill, finish;
        for (int run = 0; run < runs; ++run) {
            // The tree alone: the catalogue loaded into a channel view.
            auto start = Clock::now();
            {
                WxMessageTarget target;
                auto* tree = new CRssChannelView(host, &target);
                CatalogueModel model(tree);
                model.Open();
                tree->Update();
                fill.push_back(Milliseconds(start));
                model.Close();
                delete tree;
            }
            // The whole reader: pool, tree, reading pane with its first web view.
            start = Clock::now();
            auto* frame = new CMainFrame(host, nullptr);
            frame->Update();
            frameFill.push_back(Milliseconds(start));
            // Every channel's update ends: 2,000 messages posted, then handled by the loop.
            start = Clock::now();
            for (const auto& channel : frame->Model()->Channels()) {
                channel->SetCounts(5, 10);
                frame->ChannelView()->Target()->Post(
                    kMsgUpdateFinished, 1, reinterpret_cast<platform::LParam>(channel.get()));
            }
            // The messages, then the one save they asked for.
            while (frame->Model()->SavePending() || HasPendingEvents())
                ProcessPendingEvents();
            finish.push_back(Milliseconds(start));
            frame->Destroy();
        }
        host->Destroy();
        std::sort(fill.begin(), fill.end());
        std::sort(frameFill.begin(), frameFill.end());
        std::sort(finish.begin(), finish.end());
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("tree of 2,000 channels in 100 groups: fill %.1f ms (the whole reader with "
                    "it %.1f ms), 2,000 x 11901 %.1f ms (medians of %d), peak memory %ld MiB\n",
                    fill[fill.size() / 2], frameFill[frameFill.size() / 2],
                    finish[finish.size() / 2], runs, usage.ru_maxrss / 1024);
        std::filesystem::remove_all(app);
        measured = true;
        return false; // done: no main loop
    }

private:
    std::unique_ptr<platform::ResourceModule> resources_;
};

} // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    wxEntry(argc, argv);
    return measured ? 0 : 1;
}
