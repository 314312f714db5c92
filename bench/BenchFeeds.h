#pragma once

#include <string>

// A 1000-item RSS 2.0 document of about 1 MB (UTF-8), items numbered from firstItem: what
// the merge benchmarks update a channel with.
inline std::string Feed(int firstItem, const std::string& buildDate) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>Bench"
                      "</title><link>http://example.com/</link><lastBuildDate>" +
                      buildDate + "</lastBuildDate>\n";
    const std::string body =
        "&lt;p&gt;\xE4\xB8\xAD\xE6\x96\x87 text with &amp;amp; entities and a "
        "&lt;a href=&quot;http://example.com/x&quot;&gt;link&lt;/a&gt; &lt;br&gt;&lt;/p&gt;";
    for (int i = firstItem; i < firstItem + 1000; ++i) {
        std::string n = std::to_string(i);
        xml += "<item><title>Item " + n +
               " title \xE2\x80\x94 news</title><link>http://example.com/"
               "news/2026/12/06/item-" +
               n + ".html</link><description>";
        for (int k = 0; k < 6; ++k)
            xml += body;
        xml += "</description><author>author" + n +
               "@example.com</author><pubDate>Sun, 06 Dec "
               "2026 10:00:00 GMT</pubDate><guid>http://example.com/" +
               n + "</guid></item>\n";
    }
    return xml + "</channel></rss>\n";
}
