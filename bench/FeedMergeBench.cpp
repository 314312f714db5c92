// One channel update from a document in memory: a 1000-item, about 1 MB UTF-8 feed merged
// against 1000 remembered items (check, read-back, page, state file, total), against the
// time libxml2 takes merely to parse the same document. Once for RSS 2.0 (read by substring
// search) and once for Atom 1.0 (read with the XML reader).
#include "BenchFeeds.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <libxml/parser.h>
#include <string>

namespace {

std::string AtomFeed(int firstItem, const std::string& updated) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<feed "
                      "xmlns=\"http://www.w3.org/2005/Atom\"><title>Bench</title><link "
                      "href=\"http://example.com/\"/><updated>" +
                      updated + "</updated><id>urn:bench</id>\n";
    const std::string body =
        "&lt;p&gt;\xE4\xB8\xAD\xE6\x96\x87 text with &amp;amp; entities and a "
        "&lt;a href=&quot;http://example.com/x&quot;&gt;link&lt;/a&gt; &lt;br&gt;&lt;/p&gt;";
    for (int i = firstItem; i < firstItem + 1000; ++i) {
        std::string n = std::to_string(i);
        xml += "<entry><title>Item " + n +
               " title \xE2\x80\x94 news</title><link rel=\"alternate\" "
               "href=\"http://example.com/news/2026/12/06/item-" +
               n + ".html\"/><id>http://example.com/" + n + "</id><content type=\"html\">";
        for (int k = 0; k < 6; ++k)
            xml += body;
        xml += "</content><author><name>author" + n +
               "</name></author><published>2026-12-06T10:00:00Z</published></entry>\n";
    }
    return xml + "</feed>\n";
}

using FeedMaker = std::string (*)(int, const std::string&);

struct Fixture {
    explicit Fixture(FeedMaker make) {
        char pattern[] = "/tmp/tessavin-bench.XXXXXX";
        folder = mkdtemp(pattern);
        data = platform::Utf8ToWide(folder);
        channel.SetId(1);
        channel.SetFileStem(L"rss1");
        channel.SetMaxItems(1000);
        // The previous update: 1000 items, now remembered.
        ChannelUpdater first(channel, data, nullptr);
        first.LoadState();
        first.Process(make(0, "A"));
        platform::ReadWholeFile(data + L"/rss1.html", page);
        platform::ReadWholeFile(data + L"/rss1.flg", state);
        next = make(500, "B"); // 500 known items, 500 new ones
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
    void Restore() {
        platform::ReplaceFileContent(data + L"/rss1.html", page);
        platform::ReplaceFileContent(data + L"/rss1.flg", state);
        channel.SetLastBuildDate("A");
    }
    std::string folder;
    std::wstring data;
    CChannel channel;
    std::string page, state, next;
};

Fixture& Shared(bool atom) {
    if (atom) {
        static Fixture atomFeed(AtomFeed);
        return atomFeed;
    }
    static Fixture rss(Feed);
    return rss;
}

// One timed update; kept out of line so that a profiler can collect it alone.
__attribute__((noinline)) bool UpdateOnce(Fixture& f) {
    ChannelUpdater updater(f.channel, f.data, nullptr);
    updater.LoadState();
    auto result = updater.Process(f.next);
    benchmark::DoNotOptimize(result);
    return result == ChannelUpdater::kWritten && updater.ShownCount() == 1000;
}

void Merge(benchmark::State& state, bool atom) {
    Fixture& f = Shared(atom);
    for (auto _ : state) {
        state.PauseTiming();
        f.Restore();
        state.ResumeTiming();
        if (!UpdateOnce(f))
            state.SkipWithError("the merge did not write 1000 items");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(f.next.size()));
}

void Parse(benchmark::State& state, bool atom) {
    Fixture& f = Shared(atom);
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(f.next.data(), static_cast<int>(f.next.size()), "feed.xml",
                                      nullptr, XML_PARSE_NONET);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(f.next.size()));
}

void BM_Libxml2Parse(benchmark::State& state) {
    Parse(state, false);
}
void BM_TessavinMerge(benchmark::State& state) {
    Merge(state, false);
}
void BM_Libxml2ParseAtom(benchmark::State& state) {
    Parse(state, true);
}
void BM_TessavinMergeAtom(benchmark::State& state) {
    Merge(state, true);
}

} // namespace

BENCHMARK(BM_Libxml2Parse)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TessavinMerge)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Libxml2ParseAtom)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TessavinMergeAtom)->Unit(benchmark::kMillisecond)->MinTime(2.0);
// `bench_feed_merge --profile rss|atom` runs the one merge once, outside the timing loop, for
// a profiler (valgrind --tool=callgrind --toggle-collect='*UpdateOnce*').
int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--profile") == 0) {
        Fixture& f = Shared(std::strcmp(argv[2], "atom") == 0);
        f.Restore();
        return UpdateOnce(f) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
