// Feed texts written into a channel page and into a view across channels. The input is split
// at its first four bytes 0x01 into a title, a description, an author, a date and an item
// link (in a view also the channel's name). Property: the page of two such items (in UTF-8
// and in the native encoding, and the view), parsed as a browser parses it, has
// exactly one story block per item and no element, attribute or address outside what the
// page writer may write; each field sanitised again stays as it is, and no page marker
// stands in it.
#include "FuzzSupport.h"
#include "PageAudit.h"
#include "engine/HtmlSanitizer.h"
#include "engine/PageWriter.h"
#include "reader/ViewPage.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Input(data, size);
    std::vector<std::string> parts(5);
    size_t part = 0;
    for (char c : input) {
        if (c == '\x01' && part + 1 < parts.size())
            ++part;
        else
            parts[part].push_back(c);
    }
    PageItemTexts texts{parts[0], parts[1], parts[2], parts[3]};
    const std::string link = parts[4].empty() ? "http://feed.example/news/item" : parts[4];

    for (PageEncoding encoding : {PageEncoding::kUtf8, PageEncoding::kNative}) {
        PageWriter writer(encoding, 0, "http://feed.example/rss.xml");
        writer.AppendItem(1, 2, 3, link, texts, false, false);
        // The second item's fields are the first one's, turned round: what one field leaves
        // open meets another field's markup.
        const PageItemTexts turned{texts.date, texts.author, texts.description, texts.title};
        writer.AppendItem(2, 2, 3, "relative/link", turned, true, true);
        const std::string page = writer.Finish(2);
        const std::string failure = AuditPage(page, {1, 2});
        Check(failure.empty(), failure.c_str(), page);
    }
    // A view: the texts as a channel page shows them, items of two channels, numbered by
    // place; the link as a value and the field for the channel's name are the input's too.
    PageWriter view(PageEncoding::kUtf8);
    view.AppendViewItem(1, 7, 2, 3, link, texts, false, true, parts[4]);
    view.AppendViewItem(2, 1, 0, 9, parts[0], texts, true, false, parts[1]);
    const std::string viewPage = view.Finish(2);
    const std::string viewFailure = AuditPage(viewPage, {1, 2});
    Check(viewFailure.empty(), viewFailure.c_str(), viewPage);
    // A view sorts by the shown date: any text gives fourteen digits or nothing.
    const std::string key = ViewPage::DateKey(parts[3]);
    Check(key.empty() ||
              (key.size() == 14 && key.find_first_not_of("0123456789") == std::string::npos),
          "a date key that is not a date", key);

    HtmlSanitizer::Context context;
    context.base = "http://feed.example/news/item";
    for (bool inlineText : {false, true}) {
        context.inlineText = inlineText;
        const std::string output = HtmlSanitizer::Sanitize(input, context);
        Check(HtmlSanitizer::Sanitize(output, context) == output,
              "sanitising twice changed the text", output);
        for (const char* marker : {"</font>", "</SPAN>", "<SPAN class", "<DIV class", "<IMG class",
                                   "footer name=\"", "<font class", "<script>"})
            Check(output.find(marker) == std::string::npos, "a page marker survived", output);
    }
    return 0;
}
