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
