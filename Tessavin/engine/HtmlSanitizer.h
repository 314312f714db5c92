#pragma once

#include <string>

// Makes feed text inert before it is written into a channel page. The text is parsed as
// a browser parses it inside the page's body (an HTML5 parser), and the parts that could
// run, load or submit anything are cut out of the original bytes:
//  - elements that run or hide markup, removed with their content (script, style, iframe,
//    frame, frameset, object, embed, applet, noscript, noembed, noframes, xmp, plaintext,
//    textarea, title, template, svg, math, select, datalist, option, optgroup, meta, link,
//    base, input, keygen), and form elements removed without their content (form, button,
//    fieldset, label, output);
//  - every on* attribute, srcdoc, formaction, action and http-equiv;
//  - URL attributes whose scheme is not http, https or mailto (relative addresses stay;
//    data:image/png|gif|jpeg|webp stays in an img src).
// The page's own markers (the texts a page is read back by) are then broken up so that
// they cannot occur inside feed text. Text that holds none of these passes byte for byte;
// sanitising a sanitised text changes nothing.
class HtmlSanitizer {
public:
    static std::string Sanitize(const std::string& text);
    // Breaks up the page's marker texts inside feed text (part of Sanitize).
    static std::string BreakMarkers(const std::string& text);
    // The value a browser reads from an attribute whose source text is `text` (character
    // references decoded).
    static std::string AttributeValue(const std::string& text);
};
