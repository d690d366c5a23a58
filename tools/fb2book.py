"""The one maker of FB2 books for our scripts: the examples, the tests, the
fuzz seeds and the benchmarks build their books from these pieces.

    book(binaries, before=..., encoding=..., root=..., eol=...)   the whole book, as bytes
    parts(...)                                                    the same, piece by piece
    binary(id, data, ...)                                         one <binary> element
    base64_lines(data, width, ...)                                base64 text in lines"""
import base64

FB2_NS = "http://www.gribuser.ru/xml/fictionbook/2.0"
XLINK_NS = "http://www.w3.org/1999/xlink"
# The root's attributes of a book as readers see them: FB2 and XLink bound.
ROOT = f' xmlns="{FB2_NS}" xmlns:l="{XLINK_NS}"'


def base64_lines(data, width=76, eol="\r\n", indent=""):
    """data in base64, in lines of width symbols, each after indent (one line,
    not indented, when width is 0)."""
    text = base64.b64encode(data).decode("ascii")
    if width <= 0:
        return text
    return eol.join(indent + text[i:i + width] for i in range(0, len(text), width))


def binary(id, data, content_type="image/png", width=76, eol="\r\n", indent="", quote='"', around=""):
    """One element: data as base64 lines, around standing before and after
    them; no content-type attribute when content_type is None."""
    kind = "" if content_type is None else f' content-type="{content_type}"'
    return (f"<binary id={quote}{id}{quote}{kind}>{around}{base64_lines(data, width, eol, indent)}{around}"
            "</binary>")


def parts(binaries, before="", encoding="utf-8", root=ROOT, eol="\r\n"):
    """The book's text piece by piece: the declaration (with no encoding
    named when encoding is None) and root tag, before (description and body,
    ending with its own line end), each element with a line end, the end tag."""
    declared = "" if encoding is None else f' encoding="{encoding}"'
    code = encoding or "utf-8"
    yield f'<?xml version="1.0"{declared}?>{eol}<FictionBook{root}>{eol}{before}'.encode(code)
    for element in binaries:
        yield (element + eol).encode(code)
    yield f"</FictionBook>{eol}".encode(code)


def book(binaries, **kw):
    return b"".join(parts(binaries, **kw))


def png(width=2, height=2, colour=(200, 30, 30)):
    """A real PNG of one colour."""
    import struct
    import zlib

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(colour) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def jpeg_frame(size=2000):
    """A JPEG's framing as cameras write it (markers, segments, coded data
    with stuffed bytes and restart markers, the end marker), about size
    bytes long: what a check of its structure reads."""
    def segment(marker, data):
        return b"\xFF" + bytes([marker]) + (len(data) + 2).to_bytes(2, "big") + data
    coded = bytearray()
    while len(coded) < size:
        coded += bytes(range(1, 200)) + b"\xFF\x00" + b"\xFF\xD0"
    return (b"\xFF\xD8" + segment(0xE0, b"JFIF\0\1\1\0\0\1\0\1\0\0") + segment(0xDB, bytes(65))
            + segment(0xC0, b"\x08\0\x10\0\x10\x03\x01\x22\0\x02\x11\x01\x03\x11\x01")
            + segment(0xC4, bytes(30)) + segment(0xDA, b"\x03\x01\0\x02\x11\x03\x11\0\x3f\0")
            + bytes(coded) + b"\xFF\xD9")


def editor_book(binaries, cover=None, images=(), eol="\n", encoding="utf-8"):
    """A book as FB Editor and Book Designer write them, valid by the FB2
    schema: a title with a cover page (when cover names an id), a table of
    contents linking to sections, footnote links (type="note") into a notes
    body, a bookmark, a link out of the book, and an image in the text for
    each id of images. binaries: (id, bytes, content-type) of its images."""
    x = eol
    cover_page = f'{x}  <coverpage><image l:href="#{cover}"/></coverpage>' if cover else ""
    pictures = "".join(f'{x}   <image l:href="#{i}"/>' for i in images)
    head = (f'<description>{x} <title-info>{x}  <genre>prose_classic</genre>{x}'
            f'  <author><first-name>Anna</first-name><last-name>Petrova</last-name></author>{x}'
            f'  <book-title>Notes and links</book-title>{cover_page}{x}  <lang>ru</lang>{x} </title-info>{x}'
            f' <document-info>{x}  <author><nickname>editor</nickname></author>{x}'
            f'  <program-used>FB Editor v2.0</program-used>{x}  <date>2026</date>{x}'
            f'  <id>4F0A6C1E-0000-4000-8000-000000000001</id>{x}  <version>1.0</version>{x} </document-info>{x}'
            f'</description>{x}<body>{x} <title><p>Contents</p></title>{x}'
            f' <section id="toc">{x}  <p><a l:href="#ch1">Chapter 1</a></p>{x}'
            f'  <p><a l:href="#ch2">Chapter 2</a></p>{x} </section>{x}'
            f' <section id="ch1">{x}  <title><p>Chapter 1</p></title>{x}'
            f'  <p>{CYRILLIC_TEXT}<a l:href="#n_1" type="note">[1]</a> and back to <a l:href="#bm1">the mark</a>.</p>'
            f'{pictures}{x}  <p id="bm1">A bookmark; see <a l:href="https://example.org/#top">the site</a>.'
            f'<a l:href="#n_2" type="note">[2]</a></p>{x} </section>{x}'
            f' <section id="ch2">{x}  <title><p>Chapter 2</p></title>{x}  <p>{CYRILLIC_TEXT}</p>{x} </section>{x}'
            f'</body>{x}<body name="notes">{x} <title><p>Notes</p></title>{x}'
            f' <section id="n_1">{x}  <title><p>1</p></title>{x}  <p>The first note.</p>{x} </section>{x}'
            f' <section id="n_2">{x}  <title><p>2</p></title>{x}  <p>The second note.</p>{x} </section>{x}'
            f'</body>{x}')
    return book([binary(i, data, kind, eol=eol) for i, data, kind in binaries], before=head, encoding=encoding,
                eol=eol)


CYRILLIC_TEXT = "Съешь же ещё этих мягких французских булок, да выпей чаю."
