// Channel page script. The page is written by the reader with one block per item:
//   <DIV class = gn_stories id=N_contentdiv> ... title N_title, details N_content,
//   icons N_read, N_flag, N_delete ... </DIV>
// and the item total in "<script>var totalNum=N;</script>". The reader shows its pages with
// the scripts in their markup switched off and runs this file itself, in a world of its own
// that the page cannot reach, with `tessavinLoad` set to this load's token, language,
// scroll position and page of items. Everything is attached from here: the pagers, the
// items of the current page, and one click handler that reads an item's call from its link
// (go_read / go_flag / go_delete with literal arguments only), shows the change at once and
// hands the call to the reader, which changes the stored state. An item's elements are found
// by its block's number, which on a view across channels is its place on the page, not the
// number its call names. N (or Space at the page's end) goes to the next unread item, and
// past the last one asks the reader for the next channel that has unread items.
(function () {
    "use strict";

    var ITEMS_PER_PAGE = 20;
    var load = (typeof tessavinLoad === "object" && tessavinLoad) ? tessavinLoad : {};
    var pageIndex = 0;
    var totalNum = 0;

    var TEXTS = {
        zh: { items: "\u6761\u4fe1\u606f", prev: "\u4e0a\u4e00\u9875", next: "\u4e0b\u4e00\u9875",
              none: "\u6ca1\u6709\u4fe1\u606f" },
        en: { items: "items", prev: "Previous", next: "Next", none: "No items" }
    };

    // The Lang setting: "0" (or none) Simplified Chinese, else English.
    function texts() {
        var lang = typeof load.lang === "string" ? load.lang : "";
        return (lang === "" || lang === "0") ? TEXTS.zh : TEXTS.en;
    }

    function pageCount() {
        return Math.max(1, Math.ceil(Math.max(totalNum, 0) / ITEMS_PER_PAGE));
    }

    // Tells the reader where the reader is and, with a call, the call and the link of the
    // item it was written for (the page may be older than the reader's files).
    function post(call, item) {
        var y = Math.round(window.scrollY || 0);
        var named = "-";
        try {
            if (typeof item === "string")
                named = "=" + encodeURIComponent(item);
        } catch (e) {
            // A lone surrogate: the item is not named.
        }
        try {
            window.webkit.messageHandlers.tessavin.postMessage(
                String(load.token || "") + " " + y + " " + pageIndex + " " + named + " " + call);
        } catch (e) {
            // Not shown by the reader: the page still shows the change.
        }
    }

    // ---- Layout: pagers around the items, the current page's items shown.

    function readTotal() {
        var scripts = document.getElementsByTagName("script");
        for (var i = 0; i < scripts.length; i++) {
            var m = /^var totalNum=(\d+);$/.exec(scripts[i].text);
            if (m)
                return parseInt(m[1], 10);
        }
        return document.querySelectorAll("div.gn_stories").length;
    }

    function pagerHtml() {
        var t = texts();
        if (totalNum <= 0)
            return t.none;
        var pages = pageCount();
        var html = totalNum + " " + t.items;
        if (pages > 1) {
            html += " &nbsp; ";
            if (pageIndex > 0)
                html += "<a data-page=\"" + (pageIndex - 1) + "\">" + t.prev + "</a>";
            for (var i = 0; i < pages; i++)
                html += i === pageIndex ? "<a class=\"current\">" + (i + 1) + "</a>"
                                        : "<a data-page=\"" + i + "\">" + (i + 1) + "</a>";
            if (pageIndex < pages - 1)
                html += "<a data-page=\"" + (pageIndex + 1) + "\">" + t.next + "</a>";
        }
        return html;
    }

    function layout() {
        pageIndex = Math.min(Math.max(pageIndex, 0), pageCount() - 1);
        var blocks = document.querySelectorAll("div.gn_stories");
        var first = pageIndex * ITEMS_PER_PAGE;
        for (var k = 0; k < blocks.length; k++)
            blocks[k].classList.toggle("hidden", k < first || k >= first + ITEMS_PER_PAGE);
        var pagers = document.querySelectorAll("div.pager");
        // Without items only the first pager says so.
        for (var p = 0; p < pagers.length; p++)
            pagers[p].innerHTML = totalNum > 0 || p === 0 ? pagerHtml() : "";
    }

    // A separator with nothing shown before it (an item without author or date) is hidden.
    function hideLoneSeparators() {
        var footers = document.querySelectorAll("div.gn_storyfooter");
        for (var f = 0; f < footers.length; f++) {
            var shown = false;
            for (var node = footers[f].firstChild; node; node = node.nextSibling) {
                if (node.nodeType === 1 && node.classList.contains("sep")) {
                    if (!shown)
                        node.classList.add("hidden");
                    shown = false;
                } else if (node.nodeType === 1 ? node.textContent.trim() !== "" ||
                                                     node.getElementsByTagName("img").length > 0 ||
                                                     node.tagName === "IMG"
                                               : node.nodeType === 3 && node.data.trim() !== "") {
                    shown = true;
                }
            }
        }
    }

    function addPagers() {
        var content = document.getElementById("contentdiv");
        if (!content || !content.parentNode)
            return;
        var top = document.createElement("div");
        top.className = "pager";
        content.parentNode.insertBefore(top, content);
        var bottom = document.createElement("div");
        bottom.className = "pager";
        content.parentNode.insertBefore(bottom, content.nextSibling);
    }

    // ---- Item calls, read from the links the page was written with.

    // The address as the browser runs it: percent-decoded as UTF-8.
    function percentDecoded(text) {
        return text.replace(/(%[0-9A-Fa-f]{2})+/g, function (run) {
            try {
                return decodeURIComponent(run);
            } catch (e) {
                return run;
            }
        });
    }

    // A single-quoted literal at text[pos]: [value, position after it], or null.
    function readLiteral(text, pos) {
        if (text.charAt(pos) !== "'")
            return null;
        var value = "";
        for (var i = pos + 1; i < text.length; i++) {
            var c = text.charAt(i);
            if (c === "'")
                return [value, i + 1];
            if (c === "\n" || c === "\r")
                return null;
            if (c !== "\\") {
                value += c;
                continue;
            }
            var e = text.charAt(++i);
            var hex = e === "x" ? text.substr(i + 1, 2) : e === "u" ? text.substr(i + 1, 4) : "";
            if (hex) {
                if (!/^[0-9A-Fa-f]+$/.test(hex) || hex.length !== (e === "x" ? 2 : 4))
                    return null;
                value += String.fromCharCode(parseInt(hex, 16));
                i += hex.length;
            } else if (e === "n") {
                value += "\n";
            } else if (e === "r") {
                value += "\r";
            } else if (e === "t") {
                value += "\t";
            } else if (e === "") {
                return null;
            } else {
                value += e;
            }
        }
        return null;
    }

    // The call of an item link: {name, g, c, n, link}, or null for anything else.
    function parseCall(href) {
        var text = percentDecoded(href);
        var m = /^javascript:(go_flag|go_delete)\((-?\d{1,11}),(-?\d{1,11}),(\d{1,10})\)$/.exec(text);
        if (m)
            return { name: m[1], g: m[2], c: m[3], n: m[4], link: "" };
        m = /^javascript:go_read\('025212A0',(-?\d{1,11}),(-?\d{1,11}),(\d{1,10}),/.exec(text);
        if (!m)
            return null;
        var literal = readLiteral(text, m[0].length);
        if (!literal || text.substr(literal[1]) !== ")")
            return null;
        return { name: "go_read", g: m[1], c: m[2], n: m[3], link: literal[0] };
    }

    // A value as the call's script string literal: the reader percent-decodes the call,
    // then reads the literal. Characters beyond ASCII go as their percent-encoded UTF-8.
    function callLiteral(value) {
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

    // The link of item n as its title's call names it.
    function itemLink(n) {
        var title = document.getElementsByName(n + "_title")[0];
        var call = title ? parseCall(title.getAttribute("href") || "") : null;
        return call && call.name === "go_read" ? call.link : null;
    }

    function icon(n, kind) {
        return document.getElementById(n + "_" + kind);
    }

    function setIcon(img, name) {
        if (img)
            img.src = "HtmlStyle/" + name;
    }

    function isMarked(img, name) {
        return !!img && img.src.indexOf(name) >= 0;
    }

    // Links the reader opens (http and https, in any case), as the reader tells them.
    function isWebLink(link) {
        return /^https?:\/\//i.test(link);
    }

    // A title with a link the reader opens always marks read; the read icon (empty link),
    // or a title whose link is never opened, toggles, as the reader does with the files.
    function goRead(call, id) {
        var img = icon(id, "read");
        var read = isWebLink(call.link) ? true : !isMarked(img, "readed.gif");
        setIcon(img, read ? "readed.gif" : "unread.gif");
        var title = document.getElementsByName(id + "_title")[0];
        var font = title ? title.getElementsByTagName("font")[0] : null;
        if (font)
            font.className = read ? "title_readed" : "title_unread";
        post("javascript:go_read('025212A0'," + call.g + "," + call.c + "," + call.n + "," +
             callLiteral(call.link) + ")", itemLink(id));
    }

    function goFlag(call, id) {
        var img = icon(id, "flag");
        setIcon(img, isMarked(img, "flaged.gif") ? "unflag.gif" : "flaged.gif");
        post("javascript:go_flag(" + call.g + "," + call.c + "," + call.n + ")", itemLink(id));
    }

    function goDelete(call, id) {
        var block = document.getElementById(id + "_contentdiv");
        if (!block)
            return; // gone already: nothing to change
        var link = itemLink(id);
        block.parentNode.removeChild(block);
        if (totalNum > 0)
            totalNum--;
        layout();
        post("javascript:go_delete(" + call.g + "," + call.c + "," + call.n + ")", link);
    }

    // Folds or unfolds an item's details.
    function openClick(n) {
        var details = document.getElementById(n + "_content");
        if (details)
            details.classList.toggle("open");
    }

    function itemNumber(node) {
        var block = node.closest ? node.closest("div.gn_stories") : null;
        var m = block ? /^(\d+)_contentdiv$/.exec(block.id) : null;
        return m ? m[1] : null;
    }

    function onClick(event) {
        var target = event.target;
        if (!target || !target.closest)
            return;
        var pager = target.closest("div.pager a[data-page]");
        if (pager) {
            event.preventDefault();
            pageIndex = parseInt(pager.getAttribute("data-page"), 10) || 0;
            layout();
            window.scrollTo(0, 0);
            post("");
            return;
        }
        var link = target.closest("a[href]");
        var href = link ? link.getAttribute("href") : "";
        if (/^\s*javascript:/i.test(href)) {
            // Script links never run: the item calls among them are read, not run.
            event.preventDefault();
            var call = parseCall(href);
            var id = call ? itemNumber(link) || call.n : null;
            if (call && call.name === "go_read")
                goRead(call, id);
            else if (call && call.name === "go_flag")
                goFlag(call, id);
            else if (call && call.name === "go_delete")
                goDelete(call, id);
        }
        var title = target.closest("div.gn_storytitle");
        var n = title ? itemNumber(title) : null;
        if (n)
            openClick(n);
    }

    // ---- Next unread: on this page first, then the reader's next channel.

    var lastJump = -1; // the block last gone to, while the reader stays there

    function isUnread(block) {
        var m = /^(\d+)_contentdiv$/.exec(block.id);
        return !!m && isMarked(icon(m[1], "read"), "unread.gif");
    }

    // Shows block k of the page's blocks: its page of items, scrolled to its top.
    function showBlock(blocks, k) {
        pageIndex = Math.floor(k / ITEMS_PER_PAGE);
        layout();
        blocks[k].scrollIntoView(true);
        lastJump = k;
        post("");
    }

    // The block the reader is at: the last one gone to while it is in sight, else the one
    // before the first block below the top.
    function currentBlock(blocks) {
        if (lastJump >= 0 && lastJump < blocks.length) {
            var box = blocks[lastJump].getBoundingClientRect();
            if (box.bottom > 0 && box.top < window.innerHeight)
                return lastJump;
        }
        for (var k = pageIndex * ITEMS_PER_PAGE; k < blocks.length; k++)
            if (!blocks[k].classList.contains("hidden") &&
                blocks[k].getBoundingClientRect().bottom > 1)
                return k - 1;
        return blocks.length - 1;
    }

    function nextUnread() {
        var blocks = document.querySelectorAll("div.gn_stories");
        for (var k = currentBlock(blocks) + 1; k < blocks.length; k++)
            if (isUnread(blocks[k]))
                return showBlock(blocks, k);
        post("next_unread");
    }

    function firstUnread() {
        var blocks = document.querySelectorAll("div.gn_stories");
        for (var k = 0; k < blocks.length; k++)
            if (isUnread(blocks[k]))
                return showBlock(blocks, k);
    }

    function atPageEnd() {
        var doc = document.documentElement;
        return (window.scrollY || 0) + window.innerHeight >= doc.scrollHeight - 2;
    }

    function onKey(event) {
        if (event.ctrlKey || event.altKey || event.metaKey || event.defaultPrevented)
            return;
        var target = event.target;
        if (target && (target.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName)))
            return;
        if (event.key === "n" || event.key === "N" ||
            (event.key === " " && !event.shiftKey && atPageEnd())) {
            event.preventDefault();
            nextUnread();
        }
    }

    var scrollTimer = 0;
    function onScroll() {
        if (scrollTimer)
            return;
        scrollTimer = window.setTimeout(function () {
            scrollTimer = 0;
            post("");
        }, 400);
    }

    function start() {
        totalNum = readTotal();
        pageIndex = parseInt(load.page, 10) || 0;
        hideLoneSeparators();
        addPagers();
        layout();
        if (load.seek === "unread")
            firstUnread();
        else if (load.scroll > 0)
            window.scrollTo(0, load.scroll);
        document.addEventListener("click", onClick, true);
        document.addEventListener("keydown", onKey, true);
        window.addEventListener("scroll", onScroll);
    }

    // The page's own calls of the older page script do nothing now.
    if (typeof window.init_pagination !== "function") {
        window.init_pagination = function () { return ""; };
        window.display_item = function () {};
    }
    if (document.readyState === "loading")
        document.addEventListener("DOMContentLoaded", start);
    else
        start();
})();
