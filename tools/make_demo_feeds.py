#!/usr/bin/env python3
"""Writes the sample feeds of demo/feeds (UTF-8 and GB2312 RSS 2.0 documents, and an Atom
1.0 feed), the site icons the RSS feeds name (demo/feeds/icons: coloured PNG and ICO files)
and the channel list template demo/channels.opml.in (@BASE@ stands for the server
address)."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "demo")


def png(side, rgb):
    """A square PNG of one colour with a darker border (RGBA, 8 bits)."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    dark = tuple(c // 2 for c in rgb)
    rows = b""
    for y in range(side):
        rows += b"\0"
        for x in range(side):
            edge = x in (0, side - 1) or y in (0, side - 1)
            rows += bytes(dark if edge else rgb) + b"\xff"
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def ico(frames):
    """An ICO file of PNG frames (side, bytes)."""
    out = struct.pack("<HHH", 0, 1, len(frames))
    offset = 6 + 16 * len(frames)
    for side, data in frames:
        out += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in frames)


def feed(title, link, items, build_date, encoding="utf-8", icon=None, files=None):
    """files: item number -> the markup of the files that item carries (enclosures)."""
    namespaces = ' xmlns:dc="http://purl.org/dc/elements/1.1/"'
    if files:
        namespaces += ' xmlns:media="http://search.yahoo.com/mrss/"'
    parts = ['<?xml version="1.0" encoding="%s"?>' % encoding,
             '<rss version="2.0"%s><channel>' % namespaces,
             "<title>%s</title><link>%s</link><description>%s</description>" % (title, link, title)]
    if icon:
        # Relative: read against the feed's own address, on the demo server.
        parts.append("<image><url>%s</url><title>%s</title><link>%s</link></image>" %
                     (icon, title, link))
    if build_date:
        parts.append("<lastBuildDate>%s</lastBuildDate>" % build_date)
    for i, (t, d, author, date) in enumerate(items, 1):
        parts.append("<item><title>%s</title><link>%s/item/%d.html</link>"
                     "<description>%s</description>" % (t, link, i, d))
        if author:
            parts.append("<author>%s</author>" % author)
        if date:
            parts.append("<pubDate>%s</pubDate>" % date)
        if files and i in files:
            parts.append(files[i])
        parts.append("</item>")
    parts.append("</channel></rss>\n")
    return "\n".join(parts)


def atom_feed(title, base, entries, updated):
    parts = ['<?xml version="1.0" encoding="utf-8"?>',
             '<feed xmlns="http://www.w3.org/2005/Atom" xml:base="%s">' % base,
             "<title>%s</title><updated>%s</updated><id>%s</id>" % (title, updated, base),
             "<author><name>The project team</name></author>"]
    for i, (t, content, author, published) in enumerate(entries, 1):
        parts.append("<entry><title>%s</title><link href=\"%d.html\"/><id>%s%d</id>" %
                     (t, i, base, i))
        parts.append(content)
        if author:
            parts.append("<author><name>%s</name></author>" % author)
        parts.append("<published>%s</published></entry>" % published)
    parts.append("</feed>\n")
    return "\n".join(parts)


def main():
    os.makedirs(os.path.join(OUT, "feeds"), exist_ok=True)
    world = [("Item %d: harbour reopens after the storm" % i,
              "&lt;p&gt;Dock workers returned on day %d &amp;amp; ships queued.&lt;/p&gt;" % i,
              "desk@example.org", "Sun, %d Dec 2026 0%d:15:00 GMT" % (i, i % 10))
             for i in range(1, 13)]
    tech = [("Release %d.0 of the toolkit" % i,
             "<![CDATA[<p>Changes in <b>%d.0</b>: faster start-up.</p>]]>" % i, "", "")
            for i in range(1, 8)]
    science = [("Observation %d" % i, "A plain text description %d." % i, "lab@example.org",
                "Mon, 30 Nov 2026 12:00:00 GMT") for i in range(1, 6)]
    # An RSS enclosure, and Media RSS contents beside one.
    science_files = {
        1: '<enclosure url="http://lab.example.org/audio/observation-1.mp3" type="audio/mpeg" '
           'length="25480000"/>',
        2: '<media:content url="http://lab.example.org/video/observation-2.mp4" type="video/mp4" '
           'fileSize="1572864"/><enclosure url="http://lab.example.org/data/observation-2.csv" '
           'type="text/csv" length="812"/>',
    }
    china = [("第%d条：城市公园开放" % i, "&lt;p&gt;市民周末游园，第%d天。&lt;/p&gt;" % i, "记者",
              "Sat, 5 Dec 2026 08:00:00 GMT") for i in range(1, 9)]
    blog = [("Notes on release %d" % i,
             '<content type="html">&lt;p&gt;What changed in %d.0, and why &amp;amp; how.&lt;/p&gt;'
             '</content>' % i, "Mei" if i % 2 else "",
             "2026-12-0%dT09:30:00+08:00" % i) for i in range(1, 6)]
    blog.append(("Written in XHTML",
                 '<content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><p>Written as '
                 'XHTML: <b>bold</b> and <i>italic</i>.</p></div></content>', "",
                 "2026-12-06T08:00:00Z"))
    files = {
        "blog.atom": (atom_feed("Project blog", "http://blog.example.org/posts/", blog,
                                "2026-12-06T08:00:00Z"), "utf-8"),
        "world.xml": (feed("World desk", "http://news.example.org/world", world,
                           "Sun, 06 Dec 2026 09:00:00 GMT", icon="icons/world.png"), "utf-8"),
        "tech.xml": (feed("Toolkit releases", "http://tech.example.org", tech, "",
                              icon="icons/tech.png"), "utf-8"),
        "science.xml": (feed("Lab notes", "http://lab.example.org", science,
                             "Mon, 30 Nov 2026 12:00:00 GMT", icon="icons/science.ico",
                             files=science_files), "utf-8"),
        "china.xml": (feed("城市新闻", "http://cn.example.org", china,
                           "Sun, 06 Dec 2026 08:00:00 GMT", "gb2312", "icons/china.png"), "gb2312"),
    }
    for name, (text, encoding) in files.items():
        with open(os.path.join(OUT, "feeds", name), "wb") as f:
            f.write(text.encode(encoding))
    icons = {
        "world.png": png(16, (40, 110, 220)),
        "tech.png": png(32, (240, 140, 20)),
        "science.ico": ico([(32, png(32, (40, 170, 70))), (16, png(16, (40, 170, 70)))]),
        "china.png": png(16, (210, 40, 40)),
    }
    os.makedirs(os.path.join(OUT, "feeds", "icons"), exist_ok=True)
    for name, data in icons.items():
        with open(os.path.join(OUT, "feeds", "icons", name), "wb") as f:
            f.write(data)
    opml = """<?xml version="1.0" encoding="utf-8"?>
<opml version="1.0">
  <head><title>Demo channels</title></head>
  <body>
    <outline kind="nkPath" text="News">
      <outline kind="nkFeed" text="World desk" xmlUrl="@BASE@/world.xml" interval="30"/>
      <outline kind="nkFeed" text="城市新闻" xmlUrl="@BASE@/china.xml" interval="30"/>
    </outline>
    <outline kind="nkPath" text="Technology">
      <outline kind="nkFeed" text="Toolkit releases" xmlUrl="@BASE@/tech.xml"/>
      <outline kind="nkPath" text="Science">
        <outline kind="nkFeed" text="Lab notes" xmlUrl="@BASE@/science.xml" itemMax="50"/>
      </outline>
    </outline>
    <outline kind="nkFeed" text="Project blog" xmlUrl="@BASE@/blog.atom"/>
  </body>
</opml>
"""
    with open(os.path.join(OUT, "channels.opml.in"), "w", encoding="utf-8") as f:
        f.write(opml)


if __name__ == "__main__":
    main()
