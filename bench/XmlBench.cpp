// Parse and fully walk (every element, every attribute read) a generated 10 MB document,
// against pugixml's load_buffer plus the same walk.
#include "xml/XmlDocument.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <string>

namespace {

const char* const kAttributes[] = {"id", "name", "kind", "href"};

const std::string& Document() {
    static const std::string text = [] {
        std::string t = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- generated -->\n<catalog>";
        for (int i = 0; t.size() < 10 * 1024 * 1024; ++i) {
            std::string n = std::to_string(i);
            t += "<entry id=\"" + n + "\" name=\"entry &amp; " + n + "\" kind=\"k" +
                 std::to_string(i % 7) + "\"><title href=\"http://example.com/" + n + "\">Title " +
                 n +
                 "</title><field name=\"a\" kind=\"x\"/><field name=\"b\" "
                 "kind=\"y\"/><group id=\"g" +
                 n + "\"><leaf href=\"#" + n + "\"/></group></entry>\n";
        }
        return t + "</catalog>\n";
    }();
    return text;
}

size_t WalkOurs(CXmlDocument& doc) {
    size_t total = 0;
    while (doc.FindNextElement(nullptr)) {
        for (const char* name : kAttributes)
            total += doc.GetAttribute(name).size();
        ++total;
        doc.EnterElement();
        total += WalkOurs(doc);
        doc.LeaveElement();
    }
    return total;
}

size_t WalkPugi(const pugi::xml_node& node) {
    size_t total = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        for (const char* name : kAttributes)
            total += std::char_traits<char>::length(child.attribute(name).value());
        ++total;
        total += WalkPugi(child);
    }
    return total;
}

void BM_CXmlDocument(benchmark::State& state) {
    const std::string& text = Document();
    for (auto _ : state) {
        CXmlDocument doc;
        if (!doc.SetText(text))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(WalkOurs(doc));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_Pugixml(benchmark::State& state) {
    const std::string& text = Document();
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_buffer(text.data(), text.size()))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(WalkPugi(doc));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CXmlDocument)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
