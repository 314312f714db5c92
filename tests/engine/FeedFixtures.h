#pragma once

#include <string>
#include <vector>

// Small RSS 2.0 documents for the engine and reader tests.
struct FeedItem {
    std::string title;
    std::string link;
    std::string description;
    std::string author;
    std::string date;
};

inline std::string FeedXml(const std::vector<FeedItem>& items,
                           const std::string& buildDate = "Mon, 04 Dec 2006 08:00:00 GMT",
                           const std::string& encoding = "UTF-8") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"" + encoding +
                      "\"?>\n<rss version=\"2.0\"><channel><title>Feed</title>";
    if (!buildDate.empty())
        xml += "<lastBuildDate>" + buildDate + "</lastBuildDate>";
    for (const FeedItem& item : items) {
        xml += "<item><title>" + item.title + "</title><link>" + item.link + "</link>";
        if (!item.description.empty())
            xml += "<description>" + item.description + "</description>";
        if (!item.author.empty())
            xml += "<author>" + item.author + "</author>";
        if (!item.date.empty())
            xml += "<pubDate>" + item.date + "</pubDate>";
        xml += "</item>\n";
    }
    return xml + "</channel></rss>";
}

inline std::string Repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0)
        out += text;
    return out;
}

// Items titled "T<i>" linked to "http://example.com/<i>", for i in [from, to].
inline std::vector<FeedItem> NumberedItems(int from, int to) {
    std::vector<FeedItem> items;
    for (int i = from; i <= to; ++i)
        items.push_back({"T" + std::to_string(i), "http://example.com/" + std::to_string(i),
                         "d" + std::to_string(i), "", ""});
    return items;
}
