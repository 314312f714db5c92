// A site icon's bytes and a site page's head. The input is read both as an icon file and as
// a page at http://site.example/dir/page. Properties: an acceptable icon is of a known kind,
// within the size, side and pixel bounds its checks claim, and its nearest frame is one the
// file has; the head ends inside the page, and every icon address found is an absolute web
// address.
#include "FuzzSupport.h"
#include "engine/IconFetcher.h"
#include "engine/IconFormat.h"
#include "engine/PageHead.h"
#include "engine/WebAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Input(data, size);
    int width = 0, height = 0;
    if (IconFormat::Acceptable(input)) {
        Check(IconFormat::Sniff(input) != IconFormat::Kind::kNone, "acceptable of no kind", "");
        Check(input.size() <= IconFormat::kMaxBytes, "acceptable beyond the byte cap", "");
        Check(IconFormat::Size(input, width, height), "acceptable without a size", "");
        Check(width > 0 && height > 0 && width <= IconFormat::kMaxSide &&
                  height <= IconFormat::kMaxSide,
              "acceptable beyond the side cap",
              std::to_string(width) + "x" + std::to_string(height));
        Check(int64_t{width} * height <= IconFormat::kMaxPixels, "acceptable beyond the pixels",
              std::to_string(width) + "x" + std::to_string(height));
        Check(IconFormat::NearestFrame(input, 16) >= 0, "a frame before the first", "");
    }
    Check(PageHead::Length(input) <= input.size(), "head past the page's end", "");
    for (const std::string& address : IconFetcher::PageIcons(input, "http://site.example/dir/page"))
        Check(WebAddress::IsWebLink(address), "an icon address that is no web address", address);
    return 0;
}
