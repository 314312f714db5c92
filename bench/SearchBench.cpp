// The word index over 200,000 items in 2,000 channels (English titles and texts with a
// Chinese part): filled through Merged, then the query time for a common word (in about half
// the items), a rare word (in five) and a two-character Chinese term, 200 runs each with a
// limit of 100; the size on disk; and the time the index adds to one channel update
// (ChannelUpdater::Process of a 1000-item RSS 2.0 document, each run on a new channel so that
// every item is new) with and without SetIndex, interleaved. The writer thread's indexing
// runs after Process returns and is reported apart.
//
//   bench_search [ITEMS] [CHANNELS]
#include "BenchFeeds.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/CodePage.h"
#include "search/SearchIndex.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

// Words of news texts, most frequent first (drawn with a Zipf-like law).
const char* const kWords[] = {
    "the",      "of",        "and",       "to",         "in",       "a",         "is",
    "that",     "for",       "it",        "as",         "was",      "with",      "be",
    "by",       "on",        "not",       "he",         "this",     "are",       "or",
    "his",      "from",      "at",        "which",      "but",      "have",      "an",
    "had",      "they",      "you",       "were",       "their",    "one",       "all",
    "we",       "can",       "her",       "has",        "there",    "been",      "if",
    "more",     "when",      "will",      "would",      "who",      "so",        "no",
    "said",     "year",      "new",       "government", "people",   "time",      "company",
    "first",    "two",       "city",      "report",     "week",     "state",     "percent",
    "million",  "police",    "world",     "country",    "minister", "president", "school",
    "health",   "water",     "energy",    "court",      "election", "season",    "team",
    "price",    "bank",      "research",  "university", "climate",  "river",     "train",
    "airport",  "hospital",  "council",   "festival",   "museum",   "library",   "software",
    "network",  "release",   "update",    "security",   "storage",  "battery",   "satellite",
    "vaccine",  "harvest",   "weather",   "storm",      "bridge",   "tunnel",    "village",
    "mountain", "island",    "coast",     "forest",     "garden",   "farmer",    "teacher",
    "student",  "doctor",    "engineer",  "artist",     "writer",   "singer",    "player",
    "coach",    "judge",     "mayor",     "senator",    "officer",  "worker",    "driver",
    "pilot",    "scientist", "announced", "reported",   "expected", "opened",    "closed",
    "raised",   "cut",       "signed",    "launched",   "approved", "rejected",  "delayed",
    "warned",   "agreed",    "tested",    "found",      "record",   "annual",    "local",
    "national", "global",    "public",    "private",    "digital",  "open",      "early",
    "late",     "higher",    "lower",     "strong",     "weak",     "quarterly", "regional",
    "urban",    "budget",    "policy",    "plan",       "deal",     "law",       "vote",
    "trade",    "tax",       "rate",      "growth",     "crisis",   "recovery",  "project",
    "program",  "service",   "system",    "platform",   "data",     "study",     "survey",
    "index",    "figure",    "result",    "share",      "profit",   "loss",      "cost"};
const size_t kWordCount = sizeof kWords / sizeof kWords[0];

// Common characters of Chinese news texts (without 数 and 据, which only the term brings).
const char* const kHan = "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可"
                         "主发年动同工也能下过子说"
                         "产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小"
                         "物现实加量都两体制机当使点"
                         "从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关"
                         "各重新线内正心反你明看原又"
                         "么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并"
                         "提直题党程展五果料象员革位"
                         "入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她"
                         "手角期根论运农指几九区强放"
                         "决西被干做必战先回则任取完举色";

class Texts {
public:
    explicit Texts(unsigned seed) : random_(seed) {
        for (size_t i = 0; i < std::char_traits<char>::length(kHan); i += 3)
            han_.push_back(std::string(kHan + i, 3));
    }
    std::string Word() {
        const double u = std::uniform_real_distribution<double>(0, 1)(random_);
        return kWords[static_cast<size_t>(std::exp(u * std::log(kWordCount + 1.0))) - 1];
    }
    std::string Words(int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += (i ? " " : "") + Word();
        return text;
    }
    std::string Chinese(int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += han_[std::uniform_int_distribution<size_t>(0, han_.size() - 1)(random_)];
        return text;
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
    int Between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }

private:
    std::mt19937 random_;
    std::vector<std::string> han_;
};

// The item as its page shows it: a title, a description of two paragraphs (English, then
// Chinese), author and date.
IndexedItem Item(Texts& texts, int channel, int n, long serial) {
    IndexedItem item;
    item.link = "http://example.com/" + std::to_string(channel) + "/news/" + std::to_string(n);
    std::string title = texts.Words(texts.Between(5, 9));
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
    std::string english = texts.Words(texts.Between(40, 80));
    if (texts.Chance(0.5))
        english += " market";
    if (serial % 40000 == 7)
        english += " zephyrine";
    std::string chinese = texts.Chinese(texts.Between(15, 30));
    if (texts.Chance(0.05))
        chinese.insert(static_cast<size_t>(texts.Between(0, 5)) * 3, "数据");
    item.title = title + " &amp; " + texts.Word();
    item.description = "<p>" + english + ".</p><p>" + chinese + "。</p>";
    item.author = "Reporter " + std::to_string(channel);
    item.date = "2026-12-06 10:00";
    return item;
}

long long SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<long long>(size);
}

} // namespace

int main(int argc, char** argv) {
    const long items = argc > 1 ? std::atol(argv[1]) : 200000;
    const int channels = argc > 2 ? std::atoi(argv[2]) : 2000;
    char pattern[] = "/tmp/tessavin-search-bench.XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::wstring data = platform::Utf8ToWide(folder);

    SearchIndex index;
    if (!index.Open(data, nullptr)) {
        std::printf("the index did not open\n");
        return 1;
    }
    index.WaitIdle();
    Texts texts(20261206);
    const long perChannel = items / channels;
    const Clock::time_point fillStart = Clock::now();
    double enqueueMs = 0;
    for (int c = 1; c <= channels; ++c) {
        IndexChange change;
        change.channelId = c;
        for (long n = 0; n < perChannel; ++n)
            change.added.push_back(Item(texts, c, static_cast<int>(n), (c - 1) * perChannel + n));
        const Clock::time_point t = Clock::now();
        index.Merged(std::move(change));
        enqueueMs += Ms(t, Clock::now());
    }
    index.WaitIdle();
    std::printf("filled: %ld items in %d channels, %.1f s until idle (Merged calls: %.1f ms in "
                "all)\n",
                perChannel * channels, channels, Ms(fillStart, Clock::now()) / 1000, enqueueMs);

    const struct {
        const char* name;
        const char* words;
    } queries[] = {{"common word", "market"},
                   {"rare word", "zephyrine"},
                   {"Chinese term", "数据"},
                   {"one Chinese character", "的"},
                   {"common word, one channel", "market"}};
    for (const auto& q : queries) {
        const int64_t channel =
            std::string(q.name).find("channel") != std::string::npos ? channels / 2 : 0;
        std::vector<double> times;
        size_t hits = 0;
        for (int run = 0; run < 200; ++run) {
            const Clock::time_point t = Clock::now();
            hits = index.Query(q.words, channel, 100).size();
            times.push_back(Ms(t, Clock::now()));
        }
        const size_t all = index.Query(q.words, channel, 1000000).size();
        std::printf("query %-26s median %7.3f ms  p99 %7.3f ms  (%zu hits of %zu)\n", q.name,
                    Percentile(times, 0.5), Percentile(times, 0.99), hits, all);
    }

    const std::string document = Feed(0, "A");
    std::vector<double> without, with, writer, total;
    for (int run = 0; run < 60; ++run) {
        const bool indexed = run % 2 == 1;
        CChannel channel;
        const uint32_t id = 100000 + static_cast<uint32_t>(run);
        channel.SetId(id);
        channel.SetFileStem(L"rss" + std::to_wstring(id));
        channel.SetMaxItems(1000);
        ChannelUpdater updater(channel, data, nullptr);
        updater.LoadState();
        if (indexed)
            updater.SetIndex(&index);
        const Clock::time_point t0 = Clock::now();
        const auto result = updater.Process(document);
        const Clock::time_point t1 = Clock::now();
        if (result != ChannelUpdater::kWritten || updater.ShownCount() != 1000) {
            std::printf("the merge did not write 1000 items\n");
            return 1;
        }
        if (!indexed) {
            without.push_back(Ms(t0, t1));
            continue;
        }
        index.WaitIdle();
        const Clock::time_point t2 = Clock::now();
        with.push_back(Ms(t0, t1));
        writer.push_back(Ms(t1, t2));
        total.push_back(Ms(t0, t2));
    }
    const double base = Percentile(without, 0.5), indexed = Percentile(with, 0.5);
    std::printf("merge of 1000 new items, median of %zu runs each: without index %.2f ms, with "
                "index %.2f ms (%+.1f%%)\n",
                with.size(), base, indexed, 100 * (indexed - base) / base);
    std::printf("writer thread after Process returns (not in the figure above): median %.2f ms; "
                "Process plus indexing %.2f ms\n",
                Percentile(writer, 0.5), Percentile(total, 0.5));
    if (index.Query("Item title news", 100001, 10).size() != 10)
        std::printf("the merged items were not found\n");

    index.Close();
    const std::string db = folder + "/search.db";
    const Clock::time_point reopen = Clock::now();
    index.Open(data, nullptr);
    index.WaitIdle();
    std::printf("opening the existing index (quick_check included): %.0f ms%s\n",
                Ms(reopen, Clock::now()), index.Ready() ? "" : ", not ready");
    index.Close();
    std::printf("index size on disk after closing (checkpointed): %.1f MB (db %lld, wal %lld "
                "bytes)\n",
                static_cast<double>(SizeOf(db) + SizeOf(db + "-wal")) / 1048576.0, SizeOf(db),
                SizeOf(db + "-wal"));
    std::filesystem::remove_all(folder);
    return 0;
}
