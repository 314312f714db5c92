// Channel page script. The page is written by the reader with one block per item:
//   <DIV class = gn_stories id=N_contentdiv> ... title N_title, details N_content,
//   icons N_read, N_flag, N_delete ... </DIV>
// and the global totalNum (the number of items shown). Clicks on the icons and titles
// call go_read / go_flag / go_delete; each updates the page at once and hands the exact
// call text to the host, which changes the stored state.

var ITEMS_PER_PAGE = 20;
var pageIndex = 0;     // current page, from the address fragment "#page=K"
var itemsSeen = 0;     // items laid out so far by display_item
var pagerCount = 0;    // pagers written so far (top and bottom)

var TEXTS = {
    zh: { items: "\u6761\u4fe1\u606f", page: "\u9875", prev: "\u4e0a\u4e00\u9875",
          next: "\u4e0b\u4e00\u9875", none: "\u6ca1\u6709\u4fe1\u606f" },
    en: { items: "items", page: "Page", prev: "Previous", next: "Next", none: "No items" }
};

function page_language() {
    // The Lang setting: "0" Simplified Chinese, else English. The desktop host hands it over
    // as window.tessavinLang before the page runs; otherwise it is the page's cookie.
    if (typeof window.tessavinLang === "string")
        return (window.tessavinLang === "" || window.tessavinLang === "0") ? TEXTS.zh : TEXTS.en;
    var cookie = String(document.cookie || "");
    var match = /(?:^|;\s*)(?:Lang=)?([^;=]*)$/.exec(cookie);
    var lang = match ? match[1] : cookie;
    return (lang === "" || lang === "0") ? TEXTS.zh : TEXTS.en;
}

function page_count() {
    var total = (typeof totalNum === "number" && totalNum > 0) ? totalNum : 0;
    return Math.max(1, Math.ceil(total / ITEMS_PER_PAGE));
}

function read_page_index() {
    var match = /page=(\d+)/.exec(location.hash || "");
    var index = match ? parseInt(match[1], 10) - 1 : 0;
    return Math.min(Math.max(index, 0), page_count() - 1);
}

function init_pagination() {
    if (pagerCount === 0)
        pageIndex = read_page_index();
    pagerCount++;
    var t = page_language();
    var total = (typeof totalNum === "number") ? totalNum : 0;
    if (total <= 0)
        return "<div class=\"pager\">" + t.none + "</div>";
    var pages = page_count();
    var html = "<div class=\"pager\">" + total + " " + t.items;
    if (pages > 1) {
        html += " &nbsp; ";
        if (pageIndex > 0)
            html += "<a onclick=\"go_page(" + (pageIndex - 1) + ")\">" + t.prev + "</a>";
        for (var i = 0; i < pages; i++) {
            html += (i === pageIndex)
                ? "<a class=\"current\">" + (i + 1) + "</a>"
                : "<a onclick=\"go_page(" + i + ")\">" + (i + 1) + "</a>";
        }
        if (pageIndex < pages - 1)
            html += "<a onclick=\"go_page(" + (pageIndex + 1) + ")\">" + t.next + "</a>";
    }
    return html + "</div>";
}

function go_page(index) {
    location.hash = "page=" + (index + 1);
    location.reload();
}

// Called after each item block: shows the items of the current page only.
function display_item(block) {
    if (!block)
        return;
    var first = pageIndex * ITEMS_PER_PAGE;
    if (itemsSeen < first || itemsSeen >= first + ITEMS_PER_PAGE)
        block.className += " hidden";
    itemsSeen++;
}

// Folds or unfolds an item's details.
function open_click(n, toggle) {
    var details = document.getElementById(n + "_content");
    if (!details)
        return;
    var open = / open/.test(details.className);
    if (toggle)
        details.className = open ? details.className.replace(/ open/, "") : details.className + " open";
}

function post_to_host(call) {
    try {
        if (window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.tessavin)
            window.webkit.messageHandlers.tessavin.postMessage(call);
    } catch (e) {
        // No host: the page still shows the change.
    }
}

// A value written as the call's script string literal, as the page's own links write it:
// the host percent-decodes the call, then reads the literal. Characters beyond ASCII go as
// their percent-encoded UTF-8 bytes, so the call text the host receives is plain ASCII.
function call_literal(value) {
    var text = String(value).replace(/[%'\\\x00-\x1f\x7f]/g, function (c) {
        if (c === "%")
            return "%25";
        if (c === "'" || c === "\\")
            return "\\" + c;
        var hex = c.charCodeAt(0).toString(16).toUpperCase();
        return "\\x" + (hex.length < 2 ? "0" + hex : hex);
    }).replace(/[\u0080-\uffff]+/g, function (run) {
        try {
            return encodeURIComponent(run);
        } catch (e) {
            return "%EF%BF%BD"; // a lone surrogate
        }
    });
    return "'" + text + "'";
}

function icon_of(n, kind) {
    return document.getElementById(n + "_" + kind);
}

function set_icon(img, name) {
    if (img)
        img.src = "HtmlStyle/" + name;
}

function is_marked(img, name) {
    return img && img.src.indexOf(name) >= 0;
}

// A title (with its link) always marks read; the read icon (empty link) toggles.
function go_read(code, g, c, n, link) {
    var img = icon_of(n, "read");
    var read = link ? true : !is_marked(img, "readed.gif");
    set_icon(img, read ? "readed.gif" : "unread.gif");
    var title = document.getElementsByName(n + "_title")[0];
    if (title) {
        var font = title.getElementsByTagName("font")[0];
        if (font)
            font.className = read ? "title_readed" : "title_unread";
    }
    post_to_host("javascript:go_read(" + call_literal(code) + "," + g + "," + c + "," + n + "," +
                 call_literal(link) + ")");
}

function go_flag(g, c, n) {
    var img = icon_of(n, "flag");
    set_icon(img, is_marked(img, "flaged.gif") ? "unflag.gif" : "flaged.gif");
    post_to_host("javascript:go_flag(" + g + "," + c + "," + n + ")");
}

function go_delete(g, c, n) {
    var block = document.getElementById(n + "_contentdiv");
    if (block && block.parentNode)
        block.parentNode.removeChild(block);
    if (typeof totalNum === "number" && totalNum > 0)
        totalNum--;
    refresh_page();
    post_to_host("javascript:go_delete(" + g + "," + c + "," + n + ")");
}

// After a deletion: the current page shows the items it would show when loaded again (the
// next page's first item moves up), and the pagers count again.
function refresh_page() {
    var blocks = document.querySelectorAll("div.gn_stories");
    pageIndex = Math.min(pageIndex, page_count() - 1);
    var first = pageIndex * ITEMS_PER_PAGE;
    for (var k = 0; k < blocks.length; k++) {
        var hidden = k < first || k >= first + ITEMS_PER_PAGE;
        if (blocks[k].classList.contains("hidden") !== hidden)
            blocks[k].classList.toggle("hidden");
    }
    var pagers = document.querySelectorAll("div.pager");
    for (var p = pagers.length - 1; p >= 0; p--)
        pagers[p].outerHTML = init_pagination();
}
