#!/usr/bin/env python3
"""End-to-end scenarios through the command-line host, the same for every
build: native, or a Windows build under Wine. Every path handed to the host
is relative to a scratch folder that is the host's working folder, so the
same command line serves both."""
import argparse
import base64
import io
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ARGS = None

sys.path.insert(0, os.path.join(ROOT, "tools"))
import fb2book  # noqa: E402

CYRILLIC = "Съешь же ещё этих мягких французских булок, да выпей чаю. "


def host_exe():
    return os.path.join(os.path.abspath(ARGS.build), "fb2pack" + ARGS.exe_suffix)


def runner():
    """What every start of one of our programs goes through: nothing for a
    native build; Wine, valgrind or qemu-i386 for the others. The 32-bit
    programs run under qemu-i386 lack the execute bit, so a start that
    bypasses this fails on every machine."""
    return shlex.split(ARGS.runner)


def host_command():
    return runner() + [host_exe()]


def is_wine():
    return "wine" in ARGS.runner


def is_wine_args():
    """is_wine() for decorators, which run before the arguments are parsed."""
    for i, arg in enumerate(sys.argv):
        if arg.startswith("--runner="):
            return "wine" in arg
        if arg == "--runner" and i + 1 < len(sys.argv):
            return "wine" in sys.argv[i + 1]
    return False


QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start_prefix(test, env):
    """Starts Wine in env's WINEPREFIX, a prefix of a test's own: where the
    file system allows, the run's prefix linked file by file (a new prefix
    takes many seconds to make, and a copy more than a gigabyte), with copies
    of the registry files, the only ones Wine writes; else made anew. Wine's
    background processes start with the first program: not one whose output
    is read. Its server is stopped when the test ends."""
    made = os.environ.get("WINEPREFIX", "")
    if os.path.isfile(os.path.join(made, "system.reg")) and not os.environ.get("FB2PACK_EMULATED_WINE"):
        def link(source, target):
            if source.endswith(".reg"):
                shutil.copy2(source, target)
            else:
                os.link(source, target)
        try:
            shutil.copytree(made, env["WINEPREFIX"], symlinks=True, copy_function=link)
        except (OSError, shutil.Error):
            shutil.rmtree(env["WINEPREFIX"], ignore_errors=True)
    test.addCleanup(subprocess.run, ["wineserver", "-k"], env=env, **QUIET)
    subprocess.run(["wineserver", "-p"], env=env, **QUIET)
    subprocess.run(runner() + ["wineboot"], env=env, timeout=300, **QUIET)


def make_book(entries, eol="\r\n", namespaces=True):
    """entries: list of (id, bytes, width, indent)."""
    before = eol.join(["<body><section>"] + [f"<p>{CYRILLIC * 3}</p>" for _ in range(4)] + ["</section></body>", ""])
    return fb2book.book([fb2book.binary(name, data, "application/octet-stream", width, eol, indent, around=eol)
                         for name, data, width, indent in entries],
                        before=before, root=fb2book.ROOT if namespaces else "", eol=eol)


class HostCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="fb2pack-cli-")
        os.chmod(self.dir, 0o755)
        # A cleanup, so that those a test adds (a Wine server of its own prefix
        # there, which is found by that prefix) run before the folder goes.
        self.addCleanup(self.remove_folder)

    def remove_folder(self):
        for root, dirs, _ in os.walk(self.dir):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_host(self, *args, expect=0, user=None):
        cmd = host_command() + list(args)
        if user is not None:
            # The build may lie where an unprivileged user cannot reach: run a copy.
            bin_dir = self.path("bin")
            if not os.path.isdir(bin_dir):
                os.mkdir(bin_dir)
                shutil.copy(host_exe(), bin_dir)
                shutil.copy(os.path.join(ARGS.build, ARGS.plugin), bin_dir)
            exe = os.path.join(bin_dir, os.path.basename(host_exe()))
            cmd = (["setpriv", "--reuid", str(user), "--regid", str(user), "--clear-groups"] + runner() + [exe]
                   + list(args))
        proc = subprocess.run(cmd, cwd=self.dir, capture_output=True, timeout=600)
        if is_wine():
            proc.stderr = proc.stderr.replace(b"\r\n", b"\n")  # a text stream there
        if expect is not None:
            self.assertEqual(proc.returncode, expect,
                             f"{args}: exit {proc.returncode}\nstdout: {proc.stdout!r}\nstderr: {proc.stderr!r}")
        return proc

    def names(self, book):
        out = self.run_host("list", book).stdout
        return [n for n in out.decode("utf-8", "surrogateescape").splitlines()]


class SampleCopy(HostCase):
    """A copy of the sample book as book.fb2, and its bytes as self.original."""

    def setUp(self):
        super().setUp()
        shutil.copy(os.path.join(ROOT, "examples", "sample.fb2"), self.path("book.fb2"))
        self.original = self.read("book.fb2")


class SampleBook(HostCase):
    def test_sample_lists_and_extracts_the_images_the_script_drew(self):
        drawn = self.path("drawn")
        subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_sample.py"), drawn], check=True)
        with open(os.path.join(drawn, "sample.fb2"), "rb") as a, \
                open(os.path.join(ROOT, "examples", "sample.fb2"), "rb") as b:
            self.assertEqual(a.read(), b.read(), "the shipped sample is the script's output")
        shutil.copy(os.path.join(ROOT, "examples", "sample.fb2"), self.path("sample.fb2"))
        self.assertEqual(self.names("sample.fb2"), ["cover.png", "chart.png", "rings.png"])
        os.mkdir(self.path("out"))
        self.run_host("extract", "sample.fb2", "-C", "out")
        for name in ["cover.png", "chart.png", "rings.png"]:
            with open(os.path.join(drawn, "images", name), "rb") as f:
                self.assertEqual(self.read(os.path.join("out", name)), f.read(), name)
        self.assertEqual(sorted(os.listdir(self.path("out"))), ["chart.png", "cover.png", "rings.png"])

    def test_json_listing_and_named_extraction(self):
        shutil.copy(os.path.join(ROOT, "examples", "sample.fb2"), self.path("sample.fb2"))
        listing = json.loads(self.run_host("list", "sample.fb2", "--json").stdout)
        self.assertEqual([e["name"] for e in listing], ["cover.png", "chart.png", "rings.png"])
        self.run_host("extract", "sample.fb2", "chart.png")
        self.assertEqual(sorted(os.listdir(self.dir)), ["chart.png", "sample.fb2"])
        self.assertEqual(self.read("chart.png")[:8], b"\x89PNG\r\n\x1a\n")
        proc = self.run_host("extract", "sample.fb2", "nothere.png", "-C", ".", expect=1)
        self.assertIn(b"no entry named nothere.png", proc.stderr)

    def test_detect_caps_and_plain_failures(self):
        shutil.copy(os.path.join(ROOT, "examples", "sample.fb2"), self.path("sample.fb2"))
        self.write("twelve", b"<FictionBook")
        self.assertIn(b"FB2 book", self.run_host("detect", "sample.fb2").stdout)
        self.assertIn(b"not recognised", self.run_host("detect", "twelve", expect=1).stdout)
        self.assertTrue(self.run_host("caps").stdout.startswith(b"335\n"))
        self.write("empty.fb2", b"")
        proc = self.run_host("list", "empty.fb2", expect=1)
        self.assertIn(b"empty.fb2: it is empty", proc.stderr)
        self.run_host("list", "missing.fb2", expect=1)
        self.run_host("frobnicate", expect=2)
        self.run_host("list", expect=2)
        self.run_host("--plugin", "nowhere.wcx", "caps", expect=1)
        self.assertIn(b"Usage:", self.run_host("--help").stdout)
        self.assertRegex(self.run_host("--version").stdout, rb"^fb2pack \d+\.\d+\.\d+")


class HostNeverMisleads(SampleCopy):
    def test_the_host_knows_a_book_only_through_the_plugin_it_loads(self):
        # A plug-in with the ten exports alone still lists, extracts, adds and
        # deletes; what needs the further export is refused as such, never
        # answered from elsewhere.
        ten = os.path.join(os.path.abspath(ARGS.build), ARGS.plugin.replace("fb2pack", "fb2pack-ten"))
        self.assertEqual(self.run_host("--plugin", ten, "list", "book.fb2").stdout.split(),
                         [b"cover.png", b"chart.png", b"rings.png"])
        self.write("new.png", b"\x89PNG\r\n\x1a\n")
        self.run_host("--plugin", ten, "add", "book.fb2", "new.png")
        self.run_host("--plugin", ten, "delete", "book.fb2", "new.png")
        self.assertEqual(self.read("book.fb2"), self.original)
        for args, command in ((["test", "book.fb2"], "test"), (["list", "-l", "book.fb2"], "list -l"),
                              (["list", "--json", "book.fb2"], "list --json"),
                              (["set-cover", "book.fb2", "chart.png"], "set-cover")):
            proc = self.run_host("--plugin", ten, *args, expect=1)
            self.assertIn(f"{command} needs the plug-in's FB2PackBookApi export".encode(), proc.stderr, args)
            self.assertEqual(proc.stdout, b"", args)
        self.assertEqual(self.read("book.fb2"), self.original)

    def test_an_empty_path_is_a_usage_error(self):
        for args in (["extract", "book.fb2", "-C", ""], ["list", ""], ["add", "book.fb2", ""], ["delete", "", "x"]):
            self.assertIn(b"empty argument", self.run_host(*args, expect=2).stderr, args)
        self.assertEqual(sorted(os.listdir(self.dir)), ["book.fb2"])

    def test_one_add_changes_the_book_once_or_not_at_all(self):
        for d in ("d1", "d2"):
            os.mkdir(self.path(d))
        self.write(os.path.join("d1", "x.png"), b"x")
        proc = self.run_host("add", "book.fb2", os.path.join("d1", "x.png"), os.path.join("d2", "missing.png"),
                             expect=1)
        self.assertIn(b"missing.png: no such file; the book is unchanged", proc.stderr)
        self.assertEqual(self.read("book.fb2"), self.original)
        self.write(os.path.join("d2", "y.png"), b"y")
        self.run_host("add", "book.fb2", os.path.join("d1", "x.png"), os.path.join("d2", "y.png"))
        self.assertEqual(self.names("book.fb2"), ["cover.png", "chart.png", "rings.png", "x.png", "y.png"])

    def test_messages_name_the_cause(self):
        self.write("a.png", b"a")
        os.mkdir(self.path("folder.fb2"))
        for book, cause in (("missing.fb2", b"no such file"), ("folder.fb2", b"it is a folder")):
            for args in (["add", book, "a.png"], ["list", book]):
                proc = self.run_host(*args, expect=1)
                self.assertIn(book.encode() + b": " + cause, proc.stderr, args)
        self.write("long.fb2", make_book([("n" * 253 + ".png", b"abc", 76, "")]))
        os.mkdir(self.path("out"))
        proc = self.run_host("extract", "long.fb2", "-C", "out", expect=1)
        self.assertIn(b"longer than", proc.stderr)
        proc = self.run_host("extract", "book.fb2", "-C", os.path.join("a.png", "sub"), expect=1)
        self.assertIn(b"cannot make the folder", proc.stderr)

    def test_alike_names_damage_and_the_book_itself_are_told(self):
        self.write("alike.fb2", make_book([("a/b.png", b"AAA", 76, ""), ("a_b.png", b"BBB", 76, "")]))
        self.assertEqual(self.names("alike.fb2"), ["a_b.png", "a_b (2).png"])
        os.mkdir(self.path("out"))
        self.run_host("extract", "alike.fb2", "-C", "out")
        self.assertEqual((self.read("out/a_b.png"), self.read("out/a_b (2).png")), (b"AAA", b"BBB"))
        whole = make_book([("ok.png", b"Man", 76, ""), ("junk.png", b"x", 76, "")]).replace(b"eA==", b"@@@@!!")
        self.write("cut.fb2", whole[:whole.index(b"TWFu") + 3])
        self.write("junk.fb2", whole)
        proc = self.run_host("extract", "cut.fb2", "-C", "out", expect=1)
        self.assertIn(b"cut.fb2: ok.png: the book ends inside this entry (it was cut short); what could be read "
                      b"was written to out" + (b"\\" if is_wine() else b"/") + b"ok.png", proc.stderr)
        proc = self.run_host("extract", "junk.fb2", "junk.png", "-C", "out", expect=1)
        self.assertIn(b"junk.fb2: junk.png: this entry is damaged (bytes that are not base64", proc.stderr)
        self.assertEqual(self.read("out/junk.png"), b"")
        self.write("x.png", b"x")
        proc = self.run_host("add", "book.fb2", "x.png", "./book.fb2")
        self.assertEqual(proc.stderr, b"fb2pack: ./book.fb2: it is the book itself; not added\n")
        self.assertEqual(self.names("book.fb2"), ["cover.png", "chart.png", "rings.png", "x.png"])
        if not is_wine():
            self.write(b"inv\xff.png".decode("utf-8", "surrogateescape"), b"i")
            before = self.read("book.fb2")
            proc = self.run_host("add", "book.fb2", b"inv\xff.png".decode("utf-8", "surrogateescape"), expect=1)
            self.assertIn(b"its name is not valid UTF-8", proc.stderr)
            self.assertEqual(self.read("book.fb2"), before)

    def test_json_listing_is_utf8_and_keeps_every_byte(self):
        cut = "я" * 130  # 260 bytes: the listing cuts it to 258, never inside a character
        self.write("odd.fb2", make_book([("ok.png", b"a", 76, ""), (cut, b"b", 76, "")])
                   .replace(b'id="ok.png"', b'id="\xff\xfeok.png"'))
        raw = self.run_host("list", "odd.fb2").stdout.split(b"\n")[:-1]
        listing = json.loads(self.run_host("list", "odd.fb2", "--json").stdout.decode("utf-8"))
        self.assertEqual(len(listing), 2)
        if is_wine():
            # Names go out in UTF-8: bytes 0xFF 0xFE are "ÿþ" in windows-1252, and the Cyrillic
            # name is whole, though the plug-in lists it with "_" in a code page without it.
            self.assertEqual(listing[0], {"name": "ÿþok.png", "cover": False, "source_cover": False,
                                          "referenced": False})
            self.assertEqual(listing[1]["name"], cut[:129])
            return
        for entry, exact in zip(listing, raw):
            if "hex" in entry:
                self.assertEqual(bytes.fromhex(entry["hex"]), exact)
                self.assertIn("\ufffd", entry["name"])
            else:
                self.assertEqual(entry["name"].encode("utf-8"), exact)
        self.assertIn("hex", listing[0])
        if not is_wine():
            self.assertNotIn("hex", listing[1])
            self.assertEqual(raw[1], cut[:129].encode("utf-8"))


class NamesAndTypes(HostCase):
    NAME = "Иван_новая-картинка.png"
    PNG = b"\x89PNG\r\n\x1a\n" + bytes(range(40))

    def book(self, encoding):
        head = (f'<?xml version="1.0" encoding="{encoding}"?>\r\n<FictionBook xmlns:l="http://www.w3.org/1999/xlink">'
                '<body><p>Текст</p><image l:href="#рыба.png"/></body>\r\n')
        cover = '<binary id="рыба.png" content-type="image/png">QUJD</binary>\r\n'
        return (head + cover + "</FictionBook>\r\n").encode(encoding)

    def test_a_cyrillic_name_round_trips_in_utf8_and_windows_1251_books(self):
        import xml.etree.ElementTree as ET

        def shown(name):
            # Under Wine's Western code page the plug-in lists each Cyrillic letter as "_".
            return "".join(c if not is_wine() or c.encode("cp1252", "ignore") else "_" for c in name)

        self.write(self.NAME, self.PNG)
        for encoding in ("utf-8", "windows-1251"):
            self.write("b.fb2", self.book(encoding))
            self.assertEqual(self.names("b.fb2"), [shown("рыба.png")], encoding)
            for _ in range(2):  # added, then replaced rather than doubled
                self.run_host("add", "b.fb2", self.NAME)
                self.assertEqual(self.names("b.fb2"), [shown("рыба.png"), shown(self.NAME)], encoding)
            root = ET.fromstring(self.read("b.fb2"))  # well-formed in its declared encoding
            added = [e for e in root if e.tag == "binary"][-1]
            self.assertEqual((added.get("id"), added.get("content-type")), (self.NAME, "image/png"))
            os.makedirs(self.path("out"), exist_ok=True)
            self.run_host("extract", "b.fb2", self.NAME, "-C", "out")  # asked for by its real name
            # Whatever the code page, the host writes and says the real names.
            self.assertEqual(self.read(os.path.join("out", self.NAME)), self.PNG)
            err = self.run_host("delete", "b.fb2", "рыба.png").stderr.decode()
            self.assertIn('рыба.png is still shown in the text (href="#рыба.png")', err, encoding)
            self.run_host("delete", "b.fb2", self.NAME)
            self.assertEqual(self.names("b.fb2"), [], encoding)
        # What names nothing is told as missing, never blamed on the code page.
        for args, said in ((["add", "b.fb2", "нет.png"], "fb2pack: нет.png: no such file"),
                           (["extract", "b.fb2", "нет.png"], "no entry named нет.png; nothing was extracted\n")):
            err = self.run_host(*args, expect=1).stderr.decode()
            self.assertIn(said, err, args)
            self.assertNotIn("code page", err, args)


    @unittest.skipUnless(is_wine_args() and shutil.which("localedef"), "Windows builds under Wine")
    def test_a_cyrillic_code_page_writes_and_reads_names_right(self):
        """Wine takes the ANSI code page from the locale: a Russian one gives windows-1251."""
        locales = self.path("locales")
        os.mkdir(locales)
        made = subprocess.run(["localedef", "-i", "ru_RU", "-f", "CP1251", os.path.join(locales, "ru_RU.CP1251")],
                              capture_output=True)
        if made.returncode not in (0, 1) or not os.path.isdir(os.path.join(locales, "ru_RU.CP1251")):
            self.skipTest("no ru_RU.CP1251 locale can be made here")
        # A prefix of its own, whose server runs in this locale.
        env = dict(os.environ, LOCPATH=locales, LANG="ru_RU.CP1251", LC_ALL="ru_RU.CP1251",
                   WINEPREFIX=self.path("prefix"))
        start_prefix(self, env)
        name = self.NAME.encode("cp1251")
        with open(os.path.join(self.dir.encode(), name), "wb") as f:
            f.write(self.PNG)

        def host(*args, stream="stdout"):
            proc = subprocess.run(host_command() + list(args), cwd=self.dir, env=env, capture_output=True, timeout=120)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            return getattr(proc, stream)

        for encoding in ("utf-8", "windows-1251"):
            self.write("b.fb2", self.book(encoding))
            for _ in range(2):
                host(b"add", b"b.fb2", name)
            # Output that is not a console is UTF-8, whatever the code page.
            self.assertEqual(host(b"list", b"b.fb2").decode().splitlines(), ["рыба.png", self.NAME])
            self.assertIn(b'id="&#1048;&#1074;&#1072;&#1085;_', self.read("b.fb2"))
            host(b"delete", b"b.fb2", name)
            self.assertEqual(host(b"list", b"b.fb2").decode().splitlines(), ["рыба.png"])
            # The text still shows the image deleted: said in words the console can read.
            err = host(b"delete", b"b.fb2", "рыба.png".encode("cp1251"), stream="stderr").decode()
            self.assertIn('рыба.png is still shown in the text (href="#рыба.png")', err, encoding)


class GeneratedBooks(HostCase):
    def test_every_entry_decodes_as_python_does(self):
        rng = random.Random(20261208)
        sizes = [0, 1, 2, 3, 57, 60, 61, 1000, 4096, 65537, 300000, 1 << 20]
        layouts = [(76, "\r\n", ""), (80, "\r\n", ""), (64, "\n", "  "), (0, "\r\n", ""), (76, "\n", "\t")]
        for trial, (width, eol, indent) in enumerate(layouts):
            entries = []
            for i, size in enumerate(sizes):
                # Names are bytes in the system code page: UTF-8 ones only where that is UTF-8.
                name = f"img{trial}_{i}.bin" if i % 3 or is_wine() else f"рис{trial}_{i}.png"
                entries.append((name, rng.randbytes(size), width, indent))
            book = f"gen{trial}.fb2"
            self.write(book, make_book(entries, eol))
            out = f"out{trial}"
            os.mkdir(self.path(out))
            self.run_host("extract", book, "-C", out)
            text = self.read(book).decode("utf-8")
            for name, _, _, _ in entries:
                content = re.search(f'<binary id="{re.escape(name)}"[^>]*>([^<]*)<', text).group(1)
                expected = base64.b64decode(content)
                self.assertEqual(self.read(os.path.join(out, name)), expected, f"{book} {name}")


class TarHabits(SampleCopy):
    """The command line behaves the way tar and unzip taught their users."""

    def test_option_forms_help_and_usage_errors(self):
        self.write("-x.png", b"x")
        self.run_host("add", "book.fb2", "--", "-x.png")
        self.assertIn("_-x.png", self.names("book.fb2"))
        plugin = os.path.join(os.path.abspath(ARGS.build), ARGS.plugin)
        self.run_host(f"--plugin={plugin}", "list", "book.fb2")
        self.run_host("list", "book.fb2", "-v", "--plugin", plugin)  # global options after the command too
        self.assertIn(b"unknown command lst", self.run_host("lst", "book.fb2", expect=2).stderr)
        os.mkdir(self.path("pics"))
        self.run_host("extract", "-Cpics", "book.fb2", "cover.png")
        self.run_host("extract", "book.fb2", "--directory=pics", "chart.png")
        self.assertEqual(sorted(os.listdir(self.path("pics"))), ["chart.png", "cover.png"])
        # A path from the root is a name on Windows too (there from the current drive's root).
        rooted = os.path.abspath(self.path("book.fb2"))
        self.assertIn(rooted + ": whole", self.run_host("test", "book.fb2", rooted).stdout.decode())
        for args in (["extract", "book.fb2", "-Z", "x"], ["frobnicate"], [], ["list"]):
            err = self.run_host(*args, expect=2).stderr.decode()
            self.assertEqual(len(err.splitlines()), 2, args)
            self.assertIn("--help", err, args)
        for args in (["help"], ["help", "extract"], ["list", "--help"], ["extract", "-h"]):
            self.assertIn(b"Usage:", self.run_host(*args).stdout, args)
        self.assertIn(b"--to-stdout", self.run_host("help", "extract").stdout)
        self.assertEqual(self.run_host("help").stdout, self.run_host("--help").stdout, "help is the summary")
        version = self.run_host("--version").stdout.decode()
        commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short=7", "HEAD"], capture_output=True, text=True)
        self.assertRegex(version, r"^fb2pack \d+\.\d+\.\d+")
        if commit.returncode == 0:
            self.assertIn(f"({commit.stdout.strip()})", version)

    def test_long_listing_stdout_keep_and_patterns(self):
        drawn = {n: open(os.path.join(ROOT, "examples", "images", n), "rb").read()
                 for n in ("cover.png", "chart.png", "rings.png")}
        self.write("notes.txt", b"plain words")
        self.run_host("add", "book.fb2", "notes.txt")
        plain = self.run_host("list", "book.fb2").stdout
        self.assertEqual(plain, b"cover.png\nchart.png\nrings.png\nnotes.txt\n")
        rows = self.run_host("list", "-l", "book.fb2").stdout.decode().splitlines()
        self.assertEqual([r.split() for r in rows[:3]],
                         [[str(len(drawn[n])), "PNG"] + (["cover"] if n == "cover.png" else []) + [n] for n in drawn])
        self.assertEqual(rows[3].split(), ["11", "unknown", "unused", "notes.txt"])
        self.assertEqual(rows[4].split(), [str(sum(map(len, drawn.values())) + 11), "4", "entries"])
        listing = json.loads(self.run_host("list", "--json", "--long", "book.fb2").stdout)
        self.assertEqual(listing[1], {"name": "chart.png", "cover": False, "source_cover": False, "referenced": True,
                                      "size": len(drawn["chart.png"]), "type": "PNG"})
        self.assertEqual(sorted(os.listdir(self.dir)), ["book.fb2", "notes.txt"], "nothing left behind")
        out = self.run_host("extract", "-O", "book.fb2", "chart.png", "cover.png").stdout
        self.assertEqual(out, drawn["cover.png"] + drawn["chart.png"], "book order, nothing else")
        self.write("cover.png", b"mine")
        proc = self.run_host("extract", "-k", "book.fb2", "c*.png")
        self.assertIn(b"cover.png: exists; left as it is", proc.stderr)
        self.assertEqual((self.read("cover.png"), self.read("chart.png")), (b"mine", drawn["chart.png"]))
        before = self.read("book.fb2")
        proc = self.run_host("delete", "book.fb2", "r*.png", "*.gif", expect=1)
        self.assertIn(b"no entry named *.gif; nothing was deleted", proc.stderr)
        self.assertEqual(self.read("book.fb2"), before)
        proc = self.run_host("extract", "book.fb2", "*.jpg", "-C", "nowhere", expect=1)
        self.assertEqual(proc.stderr.count(b"\n"), 1, "the missing folder is said once")
        self.run_host("delete", "book.fb2", "[rn]*")
        self.assertEqual(self.names("book.fb2"), ["cover.png", "chart.png"])

    def test_a_full_disk_is_said_once_and_an_interrupt_leaves_nothing_behind(self):
        with open("/dev/full", "wb") as full:
            proc = subprocess.run(host_command() + ["extract", "-O", "book.fb2"], cwd=self.dir, stdout=full,
                                  stderr=subprocess.PIPE, timeout=600)
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(proc.stderr.count(b"cannot write to standard output"), 1, proc.stderr)
        if is_wine():
            return  # no POSIX signals there
        entry = base64.b64encode(bytes(60000)).decode()
        self.write("big.fb2", ("<FictionBook>" + "".join(f'<binary id="{i}.png">{entry}</binary>' for i in range(400))
                               + "</FictionBook>").encode())
        temp = self.path("temp")
        os.mkdir(temp)
        proc = subprocess.Popen(host_command() + ["extract", "-O", "big.fb2"], cwd=self.dir,
                                stdout=subprocess.DEVNULL, env=dict(os.environ, TMPDIR=temp))
        while not [n for n in os.listdir(temp) if n.startswith("fb2pack")] and proc.poll() is None:
            time.sleep(0.001)  # until its scratch folder is made
        proc.send_signal(signal.SIGINT)
        self.assertNotEqual(proc.wait(timeout=600), 0, "interrupted while it extracted")
        # (A runner, such as valgrind, may leave its own files there.)
        self.assertEqual([n for n in os.listdir(temp) if n.startswith("fb2pack")], [],
                         "the scratch folder went with it")

    def test_no_book_and_every_cause_is_told(self):
        with zipfile.ZipFile(self.path("book.fb2.zip"), "w", zipfile.ZIP_DEFLATED) as z:
            z.write(self.path("book.fb2"), "book.fb2")
        self.write("plain.txt", b"just text\n")
        self.write("loose.xml", b'<doc><binary id="a.png">TWFu</binary></doc>')
        for cmd in ("list", "extract"):
            self.assertIn(b"plain.txt: not an FB2 book\n", self.run_host(cmd, "plain.txt", expect=1).stderr, cmd)
        proc = self.run_host("list", "loose.xml")
        self.assertEqual((proc.stdout, proc.stderr.count(b"not recognised")), (b"a.png\n", 1))
        self.write("afile", b"")
        proc = self.run_host("extract", "book.fb2", "-C", "afile", expect=1)
        self.assertEqual(proc.stderr, b"fb2pack: afile: not a folder\n")
        if not is_wine():
            os.symlink("gone.fb2", self.path("dangling.fb2"))
            os.symlink("loop.fb2", self.path("loop.fb2"))
            for name, says in (("missing.fb2", b"no such file"), ("dangling.fb2", b"a symbolic link to a file that"),
                               ("loop.fb2", b"a loop of symbolic links")):
                err = self.run_host("list", name, expect=1).stderr
                self.assertIn(says, err, name)
                self.assertNotIn(b"E_", err)
        proc = self.run_host("detect", "book.fb2", "missing.fb2", "plain.txt", expect=1)
        self.assertEqual(proc.stdout, b"book.fb2: FB2 book\nplain.txt: not recognised\n")
        self.assertIn(b"missing.fb2: no such file", proc.stderr)
        if not is_wine():
            bare = self.path("bare")
            os.mkdir(bare)
            shutil.copy(host_exe(), bare)
            err = subprocess.run(runner() + [os.path.join(bare, os.path.basename(host_exe())), "caps"],
                                 capture_output=True).stderr
            self.assertIn(b"looked for " + os.path.join(bare, "fb2pack.wcx").encode(), err)
            self.assertIn(b"/usr/lib/fb2pack/fb2pack.wcx", err)

    def test_bash_completion_offers_commands_and_the_books_entries(self):
        if is_wine():
            self.skipTest("completion is for the Linux host")
        script = os.path.join(ROOT, "packaging", "fb2pack.bash")
        # The host as installed: a command named fb2pack on the path, which
        # starts the build's host through the runner.
        bin_dir = self.path("on-path")
        os.mkdir(bin_dir)
        with open(os.path.join(bin_dir, "fb2pack"), "w") as f:
            f.write("#!/bin/sh\nexec " + shlex.join(host_command()) + ' "$@"\n')
        os.chmod(os.path.join(bin_dir, "fb2pack"), 0o755)
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])

        def complete(*words, env=env):
            cmd = (f"source {shlex.quote(script)}; COMP_WORDS=({' '.join(map(shlex.quote, words))}); "
                   f"COMP_CWORD={len(words) - 1}; _fb2pack; printf '%s\\n' \"${{COMPREPLY[@]}}\"")
            return subprocess.run(["bash", "-c", cmd], cwd=self.dir, env=env, capture_output=True,
                                  text=True).stdout.splitlines()

        self.assertIn("extract", complete("fb2pack", "ex"))
        self.assertIn("--to-stdout", complete("fb2pack", "extract", "--to"))
        self.assertEqual(complete("fb2pack", "delete", "book.fb2", "c"), ["cover.png", "chart.png"])
        # A book whose path has spaces, given quoted, escaped or from ~, and
        # an entry whose name holds pattern characters.
        os.mkdir(self.path("my books"))
        # An id others wrote, with a pattern character in it: the name as
        # listed means that entry alone, so it is completed as it is.
        self.write(os.path.join("my books", "a book.fb2"), self.read("book.fb2").replace(
            b"</FictionBook>", b'<binary id="a*.png" content-type="image/png">iVBORw0KGgo=</binary></FictionBook>'))
        home = dict(env, HOME=self.dir)
        for book in ("'my books/a book.fb2'", '"my books/a book.fb2"', "my\\ books/a\\ book.fb2",
                     "~/my\\ books/a\\ book.fb2"):
            self.assertEqual(complete("fb2pack", "delete", book, "a", env=home), ["a\\*.png"], book)
        self.assertEqual(complete("fb2pack", "set-cover", "my\\ books/a\\ book.fb2", "a"), ["a\\*.png"])
        self.assertEqual(complete("fb2pack", "list", "my\\ b"), ["my books"])
        # What the completion put on the line reaches fb2pack as the one name.
        word = complete("fb2pack", "delete", "'my books/a book.fb2'", "a")[0]
        subprocess.run(["bash", "-c", f"fb2pack delete 'my books/a book.fb2' {word}"], cwd=self.dir, env=env,
                       check=True)
        self.assertEqual(self.names("my books/a book.fb2"), ["cover.png", "chart.png", "rings.png"])

    @unittest.skipUnless(is_wine_args(), "the README's Windows example")
    def test_the_readmes_windows_example_runs_in_cmd(self):
        with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
            block = re.search(r"^```bat\n(.*?)^```", f.read(), re.S | re.M).group(1)
        folder = self.path("Книги")
        shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(folder, "examples"))
        env = dict(os.environ, WINEPATH="Z:" + os.path.abspath(ARGS.build).replace("/", "\\"))
        for line in block.splitlines():
            if line.startswith("fb2pack "):
                # cmd.exe hands a program its command line as typed (no pattern expanded), and the
                # program splits it at blanks outside double quotes.
                words = re.findall(r'"[^"]*"|[^\s"]+', line)
                command = host_command() + [w.strip('"') for w in words[1:]]
            else:
                command = shlex.split(ARGS.runner) + ["cmd", "/c", line]
            proc = subprocess.run(command, cwd=folder, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=120)
            self.assertEqual(proc.returncode, 0, (line, proc.stdout, proc.stderr))
        self.assertEqual(sorted(os.listdir(os.path.join(folder, "Мои обложки"))), ["chart.png", "cover.png"])
        out = subprocess.run(host_command() + ["list", "-l", "Книга.fb2"], cwd=folder, capture_output=True)
        self.assertIn("cover     map.png", out.stdout.decode())

    @unittest.skipUnless(is_wine_args(), "the Windows host's command line")
    def test_the_windows_host_takes_any_unicode_name(self):
        shutil.copy(self.path("book.fb2"), self.path("Книга.fb2"))
        self.assertEqual(self.names("Книга.fb2"), ["cover.png", "chart.png", "rings.png"])
        self.write("Карта.png", b"map")
        for _ in range(2):  # added, then replaced: its id is its own name, not the short one it went by
            self.assertNotIn(b"fb2pack:", self.run_host("add", "Книга.fb2", "Карта.png").stderr)
        self.assertEqual(len(self.names("Книга.fb2")), 4)
        self.assertIn(b'id="&#1050;&#1072;&#1088;&#1090;&#1072;.png"', self.read("Книга.fb2"))
        # Rewritten under its own name, not the short one it was given by.
        self.assertEqual(sorted(os.listdir(self.dir)), ["book.fb2", "Карта.png", "Книга.fb2"])

    @unittest.skipUnless(is_wine_args(), "the Windows host's command line")
    def test_a_short_name_two_files_share_never_hands_over_the_other(self):
        # Wine makes short names up by a hash, and these two share one; 1252 spells neither long name.
        files = {"Обложка-0.png": b"first", "Обложка-568.png": b"second"}
        for name, data in files.items():
            self.write(name, data)
        os.mkdir(self.path("out"))
        for name, data in files.items():
            proc = self.run_host("add", "book.fb2", name, expect=None)
            if proc.returncode == 0:
                self.run_host("extract", "book.fb2", name, "-C", "out")
                self.assertEqual(self.read(os.path.join("out", name)), data, name)
            else:
                self.assertIn(b"short (8.3) name leads to another file", proc.stderr, name)

    @unittest.skipUnless(is_wine_args() and shutil.which("localedef"), "Windows builds under Wine")
    def test_a_russian_library_works_in_any_folder_under_either_code_page(self):
        """From a folder, into a folder and through a temporary folder that the code page cannot
        spell, under windows-1252 and windows-1251 (Wine takes the code page from the locale, a
        Russian UTF-8 one giving 1251 with names still UTF-8 on disk, and TEMP from its registry:
        each runs in a prefix of its own)."""
        locales = self.path("locales")
        os.mkdir(locales)
        subprocess.run(["localedef", "-i", "ru_RU", "-f", "UTF-8", os.path.join(locales, "ru_RU.UTF-8")],
                       capture_output=True)
        wine = shlex.split(ARGS.runner)
        for case, locale in (("1252", None), ("1251", "ru_RU.UTF-8")):
            if locale and not os.path.isdir(os.path.join(locales, locale)):
                self.fail("no ru_RU.UTF-8 locale could be made")
            env = dict(os.environ, WINEPREFIX=self.path("prefix" + case))
            if locale:
                env.update(LOCPATH=locales, LANG=locale, LC_ALL=locale)
            home = self.path("Иван " + case)
            os.makedirs(os.path.join(home, "Temp"))
            start_prefix(self, env)
            for variable in ("TMP", "TEMP"):  # Windows looks at TMP first
                subprocess.run(wine + ["reg", "add", "HKCU\\Environment", "/v", variable, "/d",
                                       "Z:" + os.path.join(home, "Temp").replace("/", "\\"), "/f"],
                               env=env, timeout=120, **QUIET)
            shutil.copy(os.path.join(ROOT, "examples", "sample.fb2"), os.path.join(home, "Книга.fb2"))
            for name in ("Карта.png", "café.png"):
                with open(os.path.join(home, name), "wb") as f:
                    f.write(b"map")

            def host(*args, expect=0):
                proc = subprocess.run(host_command() + list(args), cwd=home, capture_output=True, timeout=120,
                                      env=env)
                self.assertEqual(proc.returncode, expect, (case, args, proc.stderr.decode(errors="replace")))
                return proc

            host("add", "Книга.fb2", "Карта.png", "café.png")
            with open(os.path.join(home, "Книга.fb2"), "rb") as f:
                data = f.read()
            self.assertIn(b'id="&#1050;&#1072;&#1088;&#1090;&#1072;.png"', data, case)
            self.assertIn(b'id="caf&#233;.png"', data, case)
            rows = host("list", "-l", "Книга.fb2").stdout.decode().splitlines()
            self.assertEqual([r.split()[:2] for r in rows[:3]], [["1235", "PNG"], ["290", "PNG"], ["3341", "PNG"]])
            self.assertEqual(os.listdir(os.path.join(home, "Temp")), [], (case, "nothing left in TEMP"))
            names = [e["name"] for e in json.loads(host("list", "--json", "Книга.fb2").stdout)]
            self.assertEqual(names[:3], ["cover.png", "chart.png", "rings.png"], case)
            host("extract", "Книга.fb2", "Карта.png", "-C", "Выход")
            out = os.path.join(home, "Выход")
            self.assertEqual(len(os.listdir(out)), 1, case)
            host("delete", "Книга.fb2", "Карта.png", "café.png")
            self.assertEqual(host("list", "Книга.fb2").stdout.decode().splitlines(),
                             ["cover.png", "chart.png", "rings.png"], case)
            # Zipped: a book edited in its archive, and a collection zipped on Windows, whose names
            # are in the OEM code page (866 on Russian systems) without the UTF-8 flag.
            with open(os.path.join(ROOT, "examples", "sample.fb2"), "rb") as f:
                sample = f.read()
            with zipfile.ZipFile(os.path.join(home, "Книга.fb2.zip"), "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("Книга.fb2", sample)
            host("delete", "Книга.fb2.zip", "chart.png")
            with zipfile.ZipFile(os.path.join(home, "Книга.fb2.zip")) as z:
                self.assertEqual((z.testzip(), z.read("Книга.fb2").count(b"<binary")), (None, 2), case)
            buffer = io.BytesIO()
            with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
                z.writestr("XXXXX.fb2", sample)
                z.writestr("Повесть.fb2", sample)
            oem = "Роман.fb2".encode("cp866")
            with open(os.path.join(home, "Библиотека.zip"), "wb") as f:
                f.write(buffer.getvalue().replace(b"XXXXX.fb2", oem))
            self.assertEqual(host("test", "Библиотека.zip").stdout.decode().splitlines(), [
                "Библиотека.zip/" + oem.decode("cp866" if locale else "cp437") + ": whole (3 images)",
                "Библиотека.zip/Повесть.fb2: whole (3 images)"], case)


class EditsKeepReferences(HostCase):
    """An edit never disconnects what the book shows: a file takes the place
    and id of the element listed under its name, and the delete warning finds
    every reference, written any way XML allows, in any encoding."""

    PNG = b"\x89PNG\r\n\x1a\n" + bytes(range(30))

    def book(self, encoding, ids, text=""):
        head = (f'<?xml version="1.0" encoding="{encoding}"?>\r\n<FictionBook xmlns:l="http://www.w3.org/1999/xlink" '
                f'xmlns:q="http://www.w3.org/1999/xlink"><description><title-info><coverpage>'
                f'<image l:href="#{ids[0]}"/></coverpage></title-info></description><body>{text}</body>\r\n')
        binaries = "".join(f'<binary id="{i}" content-type="image/png">QUJD</binary>\r\n' for i in ids)
        return (head + binaries + "</FictionBook>\r\n").encode(encoding)

    def resolved(self, data):
        import xml.etree.ElementTree as ET
        root = ET.fromstring(data)
        ids = [e.get("id") for e in root.iter("binary")]
        hrefs = [v[1:] for e in root.iter() for k, v in e.attrib.items() if k.endswith("}href") and v[:1] == "#"]
        return ids, [h in ids for h in hrefs]

    def test_a_file_takes_the_place_and_id_of_the_element_listed_under_its_name(self):
        # Under Wine's Western code page the Cyrillic id is listed as "_______.png".
        ids = ["img/pic.png", "a.png", "a.png", "обложка.png"]
        for encoding in ("utf-8", "windows-1251", "koi8-r"):
            self.write("b.fb2", self.book(encoding, ids))
            listed = self.names("b.fb2")
            self.assertEqual(listed[:3], ["img_pic.png", "a.png", "a (2).png"], encoding)
            for name in listed:
                self.write(name, self.PNG)
            self.run_host("add", "b.fb2", *listed)
            data = self.read("b.fb2")
            got_ids, resolved = self.resolved(data)
            self.assertEqual(got_ids, ids, encoding)
            self.assertTrue(all(resolved), encoding)
            self.assertEqual(self.names("b.fb2"), listed, encoding)
            self.assertNotIn(b"QUJD", data, "every element has its new content")
            self.assertEqual(data.count(b"\r\n<binary"), len(ids), "no line break added")

    def test_the_delete_warning_finds_every_reference_written_any_way(self):
        text = ('<p><image q:href = \'#b&amp;c.png\'/><image l:href="#d.png"/></p>'
                '<!-- <image l:href="#e.png"/> --><![CDATA[ <image l:href="#f.png"/> ]]>')
        cases = [("utf-8", ["обложка.png", "b&amp;c.png", "d.png", "e.png", "f.png"]),
                 ("windows-1251", ["рыба.png", "b&amp;c.png", "d.png", "e.png", "f.png"]),
                 ("koi8-r", ["рыба.png", "b&amp;c.png", "d.png", "e.png", "f.png"])]
        for encoding, ids in cases:
            self.write("b.fb2", self.book(encoding, ids, text))
            names = self.names("b.fb2")
            err = self.run_host("delete", "b.fb2", *names).stderr.decode("utf-8")
            warned = re.findall(r"b\.fb2: (.*) is still shown in the text", err)
            self.assertEqual(warned, [ids[0], "b&c.png", "d.png"], encoding)  # real names, whatever the code page
        # An id the book holds twice: one copy gone, the other still shows.
        self.write("b.fb2", self.book("utf-8", ["x.png", "x.png"]))
        self.assertNotIn(b"still shown", self.run_host("delete", "b.fb2", "x.png").stderr)


class SetCover(HostCase):
    """set-cover makes an entry, or a file added in the same rewrite, the cover:
    the cover page's reference changes, or a cover page goes where the schema
    puts it, with the book's prefixes and indentation; no other byte moves."""

    XLINK = "http://www.w3.org/1999/xlink"
    PNG = b"\x89PNG\r\n\x1a\n" + bytes(30)

    def book(self, encoding, binding, cover):
        prefix = {"l": "l:", "xlink": "xlink:", None: ""}[binding]
        bind = f' xmlns:{binding}="{self.XLINK}"' if binding else ""
        coverpage = f'\r\n   <coverpage><image {prefix}href="#старая.png"/></coverpage>' if cover else ""
        text = (f'<?xml version="1.0" encoding="{encoding}"?>\r\n'
                f'<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0"{bind}>\r\n'
                ' <description>\r\n  <title-info>\r\n   <genre>prose</genre>\r\n   <author><last-name>Ш</last-name></author>'
                f'\r\n   <book-title>Книга</book-title>\r\n   <date>2026</date>{coverpage}\r\n   <lang>ru</lang>'
                '\r\n  </title-info>\r\n </description>\r\n <body><section><p>текст</p></section></body>\r\n'
                '<binary id="старая.png" content-type="image/png">QUJD</binary>\r\n'
                '<binary id="новая.png" content-type="image/png">QUJD</binary>\r\n</FictionBook>\r\n')
        return text.encode(encoding)

    def cover_of(self, data):
        import xml.etree.ElementTree as ET
        ns = {"f": "http://www.gribuser.ru/xml/fictionbook/2.0"}
        info = ET.fromstring(data).find("f:description/f:title-info", ns)
        children = [c.tag.split("}")[1] for c in info]
        image = info.find("f:coverpage/f:image", ns)
        return children, image.get("{%s}href" % self.XLINK)

    def test_covers_are_set_in_place_or_where_the_schema_puts_them(self):
        order = ["genre", "author", "book-title", "date", "coverpage", "lang"]
        for encoding in ("utf-8", "windows-1251"):
            for binding in ("l", "xlink", None):
                # A book that binds no prefix to XLink has no cover page that readers see.
                for cover in (True, False) if binding else (False,):
                    case = (encoding, binding, cover)
                    before = self.book(encoding, binding, cover)
                    self.write("b.fb2", before)
                    names = self.names("b.fb2")
                    out = self.run_host("set-cover", "b.fb2", names[1]).stdout.decode()  # as listed
                    self.assertIn("the cover is now новая.png", out, case)
                    after = self.read("b.fb2")
                    self.assertEqual(self.cover_of(after), (order, "#новая.png"), case)
                    # Nothing but the cover's own bytes changed.
                    grown = after.replace("новая".encode(encoding), "старая".encode(encoding), 1)
                    if cover:
                        self.assertEqual(grown, before, case)
                    else:
                        indent = b"\r\n   "
                        added = indent + f'<coverpage><image {binding or "l"}:href="#'.encode() + "старая.png".encode(
                            encoding) + b'"/></coverpage>'
                        bind = b"" if binding else f' xmlns:l="{self.XLINK}"'.encode()
                        expected = before.replace(b"</date>", b"</date>" + added, 1).replace(
                            b"<FictionBook", b"<FictionBook" + bind, 1)
                        self.assertEqual(grown, expected, case)
                    self.assertIn("cover", self.run_host("list", "-l", "b.fb2").stdout.decode().splitlines()[1], case)

    def test_a_file_is_added_and_made_the_cover_at_once_and_unclear_books_are_refused(self):
        self.write("b.fb2", self.book("utf-8", "l", False))
        self.write("new.png", self.PNG)
        out = self.run_host("set-cover", "b.fb2", "new.png").stdout.decode()
        self.assertIn("the cover is now new.png (added)", out)
        data = self.read("b.fb2")
        self.assertEqual(self.cover_of(data)[1], "#new.png")
        self.assertEqual(self.names("b.fb2")[-1], "new.png")
        self.assertIn("is the cover already", self.run_host("set-cover", "b.fb2", "new.png").stdout.decode())
        self.assertEqual(self.read("b.fb2"), data)
        refused = {"no <title-info>": b'<FictionBook><binary id="a.png">QUJD</binary></FictionBook>',
                   "more than one": b'<FictionBook><title-info/><title-info></title-info>'
                                    b'<binary id="a.png">QUJD</binary></FictionBook>',
                   # The element runs from its "<binary" to its end tag, past the comment's end.
                   "cannot tell": b'<FictionBook><!-- <binary id="a.png" --><title-info><genre>g</genre>'
                                  b'</title-info></binary></FictionBook>'}
        for why, book in refused.items():
            self.write("r.fb2", book)
            err = self.run_host("set-cover", "r.fb2", "a.png", expect=1).stderr.decode()
            self.assertIn(why, err)
            self.assertIn("the book is unchanged", err)
            self.assertEqual(self.read("r.fb2"), book)
        err = self.run_host("set-cover", "b.fb2", "missing.png", expect=1).stderr.decode()
        self.assertIn("no entry named missing.png, and no file of that name", err)
        # A start tag runs to its first ">", a "<" in its quotes included: the
        # cover page goes before the element, not into it.
        self.write("q.fb2", f'<FictionBook xmlns:l="{self.XLINK}"><title-info><genre>g</genre>'
                            '<binary id="<book-title a.png">QUJD</binary></title-info></FictionBook>'.encode())
        self.run_host("set-cover", "q.fb2", "<book-title a.png")
        self.assertEqual(self.read("q.fb2"), f'<FictionBook xmlns:l="{self.XLINK}"><title-info><genre>g</genre>'
                         '<coverpage><image l:href="#&lt;book-title a.png"/></coverpage>'
                         '<binary id="<book-title a.png">QUJD</binary></title-info></FictionBook>'.encode())


class Markings(HostCase):
    def test_long_and_json_listings_mark_covers_unused_images_and_missing_ones(self):
        text = ('<description><title-info><coverpage><image xlink:href="#обложка.png"/></coverpage></title-info>'
                '<src-title-info><coverpage><image l:href="#orig.png"/></coverpage></src-title-info></description>'
                '<body><image l:href="#pic.png"/><image l:href="#gone.png"/></body>')
        ids = ["обложка.png", "orig.png", "pic.png", "pic.png", "spare.png"]
        for encoding in ("utf-8", "windows-1251"):
            head = (f'<?xml version="1.0" encoding="{encoding}"?>\r\n<FictionBook '
                    'xmlns:l="http://www.w3.org/1999/xlink" xmlns:xlink="http://www.w3.org/1999/xlink">')
            body = "".join(f'<binary id="{i}">QUJD</binary>' for i in ids) + '<binary id="cut.png">QUJD<p/></binary>'
            self.write("b.fb2", (head + text + body + "</FictionBook>").encode(encoding))
            names = self.names("b.fb2")
            listing = json.loads(self.run_host("list", "-l", "--json", "b.fb2", expect=1).stdout)
            marks = [(e["cover"], e["source_cover"], e["referenced"], e.get("damage")) for e in listing]
            self.assertEqual(marks, [(True, False, True, None), (False, True, True, None), (False, False, True, None),
                                     (False, False, False, None), (False, False, False, None),
                                     (False, False, False, "damaged")], encoding)
            out = self.run_host("list", "-l", "b.fb2", expect=1).stdout.decode("utf-8", "surrogateescape")
            lines = out.splitlines()
            self.assertEqual([line[22:32].strip() for line in lines[:6]],
                             ["cover", "src-cover", "", "unused", "unused", "unused"], encoding)
            # The cover is marked under its real name, whatever the code page.
            self.assertTrue(lines[0].endswith("cover     обложка.png"), lines[0])
            self.assertEqual([e["name"] for e in listing], ["обложка.png"] + names[1:], encoding)
            self.assertEqual(lines[7:], ["no image for #gone.png"], encoding)


class TestCommand(HostCase):
    def test_test_tells_each_book_whole_or_how_its_entries_are_damaged(self):
        png = base64.b64encode(fb2book.png()).decode()
        head = '<?xml version="1.0"?><FictionBook xmlns:l="http://www.w3.org/1999/xlink"><p><image l:href="#gone"/></p>'
        self.write("whole.fb2", (head + f'<binary id="a.png" content-type="image/jpeg">{png}</binary>'
                                 '<binary id="t.txt" content-type="text/plain">QUJD</binary></FictionBook>').encode())
        self.write("bad.fb2", (head + f'<binary id="ok.png" content-type="image/png">{png}</binary>'
                               '<binary id="junk">@@QUJD</binary><binary id="after">QQ==QUJD</binary>'
                               '<binary id="stray">QUJD<!-- x --></binary><binary id="cut">QUJD').encode())
        self.write("plain.txt", b"no book")
        proc = self.run_host("test", "whole.fb2")
        self.assertEqual(proc.stdout.decode().splitlines(), [
            "whole.fb2: a.png: labelled image/jpeg, holds PNG",
            "whole.fb2: t.txt: holds no image (labelled text/plain)",
            "whole.fb2: the text shows #gone, which no image has",
            "whole.fb2: whole (2 images)"])
        proc = self.run_host("test", "bad.fb2", "whole.fb2", expect=1)
        lines = proc.stdout.decode().splitlines()
        self.assertEqual([line for line in lines if line.startswith("bad.fb2: ") and "gone" not in line], [
            "bad.fb2: junk: not base64", "bad.fb2: after: symbols after its end",
            "bad.fb2: stray: stopped by a stray tag", "bad.fb2: cut: cut off by the end of the book",
            "bad.fb2: cut short (no </FictionBook>); 4 of 5 images damaged"])
        self.assertEqual(lines[-1], "whole.fb2: whole (2 images)", "every book is tested")
        self.assertIn(b"plain.txt: not an FB2 book", self.run_host("test", "plain.txt", expect=1).stderr)
        self.assertIn(b"no such file", self.run_host("test", "missing.fb2", expect=1).stderr)
        self.run_host("test", expect=2)
        # Several books, as head lists several files; as one JSON document.
        out = self.run_host("list", "whole.fb2", "bad.fb2").stdout.decode().splitlines()
        self.assertEqual(out[:4], ["==> whole.fb2 <==", "a.png", "t.txt", ""])
        self.assertEqual(out[4], "==> bad.fb2 <==")
        books = json.loads(self.run_host("list", "--json", "whole.fb2", "plain.txt", expect=1).stdout)
        self.assertEqual([(b["book"], b["entries"] and [e["name"] for e in b["entries"]]) for b in books],
                         [("whole.fb2", ["a.png", "t.txt"]), ("plain.txt", None)])


class Verdicts(HostCase):
    """What test, the listings and the edits say of books written as editors
    write them: notes, links, a table of contents, bookmarks."""
    PNG = fb2book.png()
    JPEG = fb2book.jpeg_frame(23320)

    def test_notes_links_and_bookmarks_are_never_missing_images(self):
        book = fb2book.editor_book([("cover.png", self.PNG, "image/png"), ("pic.jpg", self.JPEG, "image/jpeg"),
                                    ("spare.png", self.PNG, "image/png")], cover="cover.png",
                                   images=["pic.jpg", "gone.png"])
        # A link to an image is no image shown.
        self.write("b.fb2", book.replace(b'<a l:href="#bm1">', b'<a l:href="#spare.png">'))
        self.assertEqual(self.run_host("test", "b.fb2").stdout.decode().splitlines(),
                         ["b.fb2: the text shows #gone.png, which no image has", "b.fb2: whole (3 images)"])
        lines = self.run_host("list", "-l", "b.fb2").stdout.decode().splitlines()
        self.assertEqual([line[22:32].strip() for line in lines[:3]], ["cover", "", "unused"])
        self.assertEqual(lines[4:], ["no image for #gone.png"])
        listing = json.loads(self.run_host("list", "--json", "b.fb2").stdout)
        self.assertEqual([e["referenced"] for e in listing], [True, True, False])
        self.assertEqual(self.run_host("delete", "b.fb2", "spare.png").stderr, b"", "a link is no picture lost")

    def test_a_cut_book_or_a_file_that_is_no_book_is_never_whole(self):
        book = fb2book.editor_book([("cover.png", self.PNG, "image/png")], cover="cover.png")
        self.write("text.fb2", book[:book.index(b"<body name")])
        self.write("image.fb2", book[:book.index(b"</binary>") - 20])
        self.write("root.fb2", book.replace(b"<FictionBook ", b"<FictionBookx ", 1))
        self.write("a.png", self.PNG)
        for name, last in (("text.fb2", "text.fb2: cut short (no </FictionBook>); 0 images"),
                           ("image.fb2", "image.fb2: cut short (no </FictionBook>); 1 of 1 image damaged")):
            self.assertEqual(self.run_host("test", name, expect=1).stdout.decode().splitlines()[-1], last)
            self.assertIn(b"FB2 book", self.run_host("detect", name).stdout)
            self.assertIn(b"it is cut short", self.run_host("add", name, "a.png", expect=1).stderr)
        self.assertIn(b"cover.png: cut off by the end of the book, PNG cut short",
                      self.run_host("test", "image.fb2", expect=1).stdout)
        # detect, test and add agree on a file whose root tag is not the book's.
        self.assertIn(b"root.fb2: not an FB2 book", self.run_host("test", "root.fb2", expect=1).stderr)
        self.assertIn(b"not recognised", self.run_host("detect", "root.fb2", expect=1).stdout)
        self.assertIn(b"root.fb2: not an FB2 book", self.run_host("add", "root.fb2", "a.png", expect=1).stderr)
        self.assertEqual(self.read("root.fb2"), book.replace(b"<FictionBook ", b"<FictionBookx ", 1))

    def test_images_cut_or_corrupted_inside_whole_base64_are_damage(self):
        crc = bytearray(self.PNG)
        crc[-20] ^= 1  # a byte of IDAT's data
        images = [("short.jpg", self.JPEG[:8000], "image/jpeg"), ("noend.png", self.PNG[:-12], "image/png"),
                  ("crc.png", bytes(crc), "image/png"), ("fine.jpg", self.JPEG, "image/jpeg")]
        self.write("b.fb2", fb2book.editor_book(images))
        self.assertEqual(self.run_host("test", "b.fb2", expect=1).stdout.decode().splitlines(), [
            "b.fb2: short.jpg: JPEG cut short (no end-of-image marker)",
            "b.fb2: noend.png: PNG cut short (no IEND chunk)", "b.fb2: crc.png: PNG chunk IDAT fails its CRC",
            "b.fb2: 3 of 4 images damaged"])

    def test_a_name_as_listed_means_that_entry_alone(self):
        self.write("b.fb2", fb2book.editor_book([("a[1].png", self.PNG, "image/png"),
                                                 ("a1.png", b"other", "image/png")]))
        self.assertEqual(self.run_host("extract", "-O", "b.fb2", "a[1].png").stdout, self.PNG)
        self.run_host("delete", "b.fb2", "a[1].png")
        self.assertEqual(self.names("b.fb2"), ["a1.png"])
        self.run_host("delete", "b.fb2", "a?.png")  # a name of no entry is a pattern
        self.assertEqual(self.names("b.fb2"), [])

    def test_added_files_get_valid_xml_ids_and_a_valid_book_stays_valid(self):
        xsd = os.path.join(ROOT, "tests", "schema", "FictionBook.xsd")
        self.assertTrue(shutil.which("xmllint"), "xmllint (libxml2-utils) judges the books written")

        def valid():
            proc = subprocess.run(["xmllint", "--noout", "--schema", xsd, self.path("b.fb2")], capture_output=True)
            self.assertEqual(proc.returncode, 0, proc.stderr.decode())

        self.write("b.fb2", fb2book.editor_book([("cover.png", self.PNG, "image/png")], cover="cover.png"))
        valid()
        files = ["my cover.jpg", "1cover.png"] + ([] if is_wine() else ['say "hi".png'])
        for name in files:
            self.write(name, self.JPEG)
        self.run_host("add", "b.fb2", *files)
        valid()
        self.run_host("set-cover", "b.fb2", "my cover.jpg")  # added again: replaces its image
        valid()
        ids = ["my_cover.jpg", "_1cover.png"] + ([] if is_wine() else ["say__hi_.png"])
        self.assertEqual(self.names("b.fb2"), ["cover.png"] + ids)
        self.assertIn(b'<coverpage><image l:href="#my_cover.jpg"/></coverpage>', self.read("b.fb2"))

    def test_a_replacement_keeps_the_start_tags_other_attributes(self):
        self.write("b.fb2", fb2book.book(['<binary xml:lang="ru" id="pic.png" content-type="image/gif" x=\'1\'>'
                                          'QUJD</binary>']))
        self.write("pic.png", self.PNG)
        self.run_host("add", "b.fb2", "pic.png")
        self.assertIn(b'<binary xml:lang="ru" id="pic.png" content-type="image/png" x=\'1\'>', self.read("b.fb2"))

    def test_set_cover_names_the_image_whose_id_an_earlier_one_has(self):
        self.write("b.fb2", fb2book.editor_book([("c.png", self.PNG, "image/png"), ("c.png", self.PNG, "image/png")]))
        err = self.run_host("set-cover", "b.fb2", "c (2).png", expect=1).stderr.decode()
        self.assertIn("c (2).png has the id of an earlier image (#c.png)", err)


class Libraries(SampleCopy):
    """Books as libraries keep them: zipped one to an archive, collections of
    many, folders."""

    def zip(self, name, members, method=zipfile.ZIP_DEFLATED):
        with zipfile.ZipFile(self.path(name), "w", method) as z:
            for member, data in members:
                z.writestr(member, data)

    def test_zipped_books_collections_and_folders_are_read_book_by_book(self):
        book = self.original
        os.makedirs(self.path(os.path.join("lib", "sub")))
        self.zip("one.fb2.zip", [("one.fb2", book)])
        self.zip(os.path.join("lib", "two.fbz"), [("two.fb2", book)])
        self.zip(os.path.join("lib", "sub", "all.zip"), [("a.fb2", book), ("notes.txt", b"x"), ("b.fb2", book)])
        shutil.copy(self.path("book.fb2"), self.path(os.path.join("lib", "sub", "plain.fb2")))
        if not is_wine():
            os.symlink(self.dir, self.path(os.path.join("lib", "loop")))  # never followed
        self.assertEqual(self.run_host("test", "one.fb2.zip").stdout, b"one.fb2.zip: whole (3 images)\n")
        out = self.run_host("test", "-r", "lib").stdout.decode().splitlines()
        self.assertEqual(out, [os.path.join("lib", "sub") + "/all.zip/a.fb2: whole (3 images)",
                               os.path.join("lib", "sub") + "/all.zip/b.fb2: whole (3 images)",
                               os.path.join("lib", "sub") + "/plain.fb2: whole (3 images)",
                               "lib/two.fbz: whole (3 images)"])
        self.assertEqual(self.names("one.fb2.zip"), ["cover.png", "chart.png", "rings.png"])
        os.mkdir(self.path("out"))
        self.run_host("extract", "one.fb2.zip", "-C", "out")
        self.run_host("extract", "book.fb2", "-C", "mine")
        for name in ("cover.png", "chart.png", "rings.png"):
            self.assertEqual(self.read(os.path.join("out", name)), self.read(os.path.join("mine", name)), name)
        self.assertIn(b"holds 2 books", self.run_host("extract", os.path.join("lib", "sub", "all.zip"),
                                                      expect=1).stderr)
        # Damage inside the zip is damage, named, never "not a book"; the
        # quiet check prints only it and the count.
        damaged = bytearray(self.read("one.fb2.zip"))
        damaged[len(damaged) // 3] ^= 0x55
        self.write(os.path.join("lib", "bad.fb2.zip"), bytes(damaged))
        self.write(os.path.join("lib", "text.fb2"), b"just text")
        proc = self.run_host("test", "--quiet", "lib", expect=1)
        self.assertRegex(proc.stdout.decode(), r"^lib/bad\.fb2\.zip: the zipped book is damaged: [^\n]+\n"
                                               r"6 books: 4 whole, 1 damaged, 1 not a book\n$")
        self.assertEqual(proc.stderr, b"")
        # Books are read on every core and told in the walk's order.
        os.mkdir(self.path("many"))
        cut = book[: book.rindex(b"</FictionBook>")]
        for i in range(40):
            self.write(os.path.join("many", f"{i:02d}.fb2"), cut if i % 3 == 0 else book)
        self.assertEqual(self.run_host("test", "many", expect=1).stdout.decode().splitlines(), [
            f"many/{i:02d}.fb2: " + ("cut short (no </FictionBook>); 3 images" if i % 3 == 0 else "whole (3 images)")
            for i in range(40)])


    def test_the_cover_report_tells_each_books_cover_or_what_is_wrong_with_it(self):
        pic = fb2book.png(30, 40)
        books = {"ok.fb2": fb2book.editor_book([("c.jpg", fb2book.jpeg_frame(), "image/jpeg")], cover="c.jpg"),
                 "none.fb2": fb2book.editor_book([("p.png", pic, "image/png")]),
                 "gone.fb2": fb2book.editor_book([("p.png", pic, "image/png")], cover="gone.png"),
                 "cut.fb2": fb2book.editor_book([("p.png", pic[:-12], "image/png")], cover="p.png"),
                 "png.fb2": fb2book.editor_book([("p.png", pic, "image/png")], cover="p.png")}
        os.mkdir(self.path("lib"))
        for name, data in books.items():
            self.write(os.path.join("lib", name), data)
        self.zip(os.path.join("lib", "z.fbz"), [("z.fb2", books["png.fb2"])])
        self.assertEqual(self.run_host("covers", "lib").stdout.decode().splitlines(), [
            "lib/cut.fb2: p.png (PNG, 30x40) is damaged: PNG cut short (no IEND chunk)",
            "lib/gone.fb2: its cover is #gone.png, which the book lacks",
            "lib/none.fb2: no cover",
            "lib/ok.fb2: c.jpg (JPEG, 16x16)",
            "lib/png.fb2: p.png (PNG, 30x40)",
            "lib/z.fbz: p.png (PNG, 30x40)"])
        report = json.loads(self.run_host("covers", "--json", os.path.join("lib", "ok.fb2"),
                                          os.path.join("lib", "gone.fb2")).stdout)
        self.assertEqual(report, [
            {"book": "lib/ok.fb2", "state": "cover", "cover": "c.jpg", "id": "c.jpg", "type": "JPEG", "width": 16,
             "height": 16, "problem": None},
            {"book": "lib/gone.fb2", "state": "missing", "cover": None, "id": "gone.png", "type": None,
             "width": None, "height": None, "problem": None}])
        self.write("text.fb2", b"just text")
        proc = self.run_host("covers", "text.fb2", expect=1)
        self.assertEqual(proc.stdout, b"text.fb2: not an FB2 book\n")


    def test_covers_are_extracted_under_their_books_names_and_never_over_each_other(self):
        pic = fb2book.png(8, 8)
        os.makedirs(self.path(os.path.join("lib", "more")))
        for folder in ("lib", os.path.join("lib", "more")):
            self.write(os.path.join(folder, "Война.fb2"),
                       fb2book.editor_book([("c.jpg", fb2book.jpeg_frame(), "image/jpeg")], cover="c.jpg"))
        self.zip(os.path.join("lib", "mir.fb2.zip"),
                 [("mir.fb2", fb2book.editor_book([("p.png", pic, "image/png")], cover="p.png"))])
        self.write(os.path.join("lib", "bare.fb2"), fb2book.editor_book([("p.png", pic, "image/png")]))
        os.mkdir(self.path("covers"))
        self.write(os.path.join("covers", "mir.png"), b"mine")
        proc = self.run_host("extract", "--covers", "-k", "-C", "covers", "-r", "lib")
        self.assertEqual(sorted(os.listdir(self.path("covers"))), ["mir.png", "Война (2).jpg", "Война.jpg"])
        self.assertEqual(self.read(os.path.join("covers", "mir.png")), b"mine", "-k leaves it alone")
        self.assertEqual(self.read(os.path.join("covers", "Война.jpg")), fb2book.jpeg_frame())
        self.assertIn(b"bare.fb2: no cover", proc.stderr)
        self.run_host("extract", "--covers", "-C", "covers", os.path.join("lib", "mir.fb2.zip"))
        self.assertEqual(self.read(os.path.join("covers", "mir.png")), pic)


    def test_a_zipped_book_is_edited_as_that_book_and_the_archive_keeps_the_rest(self):
        shutil.copy(os.path.join(ROOT, "examples", "map.png"), self.path("map.png"))
        shutil.copy(self.path("book.fb2"), self.path("plain.fb2"))
        with zipfile.ZipFile(self.path("book.fbz"), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr(zipfile.ZipInfo("Книга.fb2", (2001, 2, 3, 4, 5, 6)), self.original, zipfile.ZIP_DEFLATED)
            z.writestr(zipfile.ZipInfo("read me.txt", (1999, 1, 1, 0, 0, 0)), b"notes " * 100, zipfile.ZIP_STORED)
            z.comment = "Библиотека".encode()
        for args in (["add", "{}", "map.png"], ["delete", "{}", "chart.png"], ["set-cover", "{}", "map.png"]):
            for book in ("book.fbz", "plain.fb2"):
                self.run_host(*[a.format(book) for a in args])
            with zipfile.ZipFile(self.path("book.fbz")) as z:
                self.assertIsNone(z.testzip(), args)
                inner = z.getinfo("Книга.fb2")
                self.assertEqual((z.read(inner), inner.date_time, inner.compress_type),
                                 (self.read("plain.fb2"), (2001, 2, 3, 4, 5, 6), zipfile.ZIP_DEFLATED), args)
                other = z.getinfo("read me.txt")
                self.assertEqual((z.read(other), other.date_time, other.compress_type, z.comment),
                                 (b"notes " * 100, (1999, 1, 1, 0, 0, 0), zipfile.ZIP_STORED, "Библиотека".encode()))
        for judge in (["unzip", "-tqq"], ["7z", "t"]):
            self.assertTrue(shutil.which(judge[0]), f"{judge[0]} judges the archives written")
            self.assertEqual(subprocess.run(judge + [self.path("book.fbz")], stdout=subprocess.DEVNULL).returncode,
                             0, judge)
        # calibre reads the zipped book and shows the cover set in it.
        self.assertTrue(shutil.which("ebook-meta"), "calibre judges the books written")
        subprocess.run(["ebook-meta", self.path("book.fbz"), "--get-cover", self.path("shown.png")],
                       capture_output=True, check=True, timeout=120)
        self.assertEqual(self.read("shown.png"), self.read("map.png"))
        # Unchanged books leave the archive byte for byte; so do refusals.
        before = self.read("book.fbz")
        self.run_host("set-cover", "book.fbz", "map.png")
        self.zip("two.zip", [("a.fb2", self.original), ("b.fb2", self.original)])
        two = self.read("two.zip")
        self.assertIn(b"holds 2 books", self.run_host("add", "two.zip", "map.png", expect=1).stderr)
        self.assertEqual((self.read("book.fbz"), self.read("two.zip")), (before, two))


class AddDelete(SampleCopy):
    def test_round_trip_adds_lists_extracts_and_deletes_back_to_the_original(self):
        rng = random.Random(7)
        os.mkdir(self.path("src"))
        cyrillic = [] if is_wine() else ["пример.png"]
        names = [f"file{i}.bin" for i in range(8)] + ["Tom & Jerry.jpg", "1st.png"] + cyrillic
        ids = [f"file{i}.bin" for i in range(8)] + ["Tom___Jerry.jpg", "_1st.png"] + cyrillic
        for i, name in enumerate(names):
            self.write(os.path.join("src", name), rng.randbytes(i * 9973))
        one_line = self.original.replace(b"\r\n", b"").replace(b"\n", b"")
        for book in (self.original, self.original.replace(b"\r\n", b"\n"), one_line):
            self.write("book.fb2", book)
            self.run_host("add", "book.fb2", *[os.path.join("src", n) for n in names])
            self.assertEqual(self.names("book.fb2"), ["cover.png", "chart.png", "rings.png"] + ids)
            os.makedirs(self.path("out"), exist_ok=True)
            self.run_host("extract", "book.fb2", *ids, "-C", "out")
            for name, id in zip(names, ids):
                self.assertEqual(self.read(os.path.join("out", id)), self.read(os.path.join("src", name)), name)
            self.run_host("delete", "book.fb2", *ids)
            self.assertEqual(self.read("book.fb2"), book, "an add and a delete give the book back byte for byte")

    def test_adding_a_file_again_replaces_its_entry(self):
        self.write("cover.png", b"new cover")
        self.run_host("add", "book.fb2", "cover.png")
        self.assertEqual(self.names("book.fb2"), ["cover.png", "chart.png", "rings.png"], "in its place")
        self.run_host("extract", "book.fb2", "cover.png", "-C", os.path.join("x", "y"))  # made, as unzip -d does
        self.assertEqual(self.read(os.path.join("x", "y", "cover.png")), b"new cover")

    def test_failures_leave_the_book_as_it_was_and_say_why(self):
        self.write("a.png", b"a")
        proc = self.run_host("add", "book.fb2", "a.png", "missing.png", expect=1)
        self.assertIn(b"missing.png: no such file; the book is unchanged", proc.stderr)
        proc = self.run_host("delete", "book.fb2", "cover.png", "nothere.png", expect=1)
        self.assertIn(b"no entry named nothere.png", proc.stderr)
        self.write("plain.txt", b"no book here")
        proc = self.run_host("-v", "add", "plain.txt", "a.png", expect=1)
        self.assertIn(b"not an FB2 book", proc.stderr)
        self.assertEqual(self.read("plain.txt"), b"no book here")
        self.assertEqual(self.read("book.fb2"), self.original)
        self.assertEqual(self.read("plain.txt"), b"no book here")
        self.assertEqual(sorted(os.listdir(self.dir)), ["a.png", "book.fb2", "plain.txt"])

    @unittest.skipIf(os.name != "posix", "needs POSIX permissions")
    def test_a_book_in_a_read_only_folder_is_left_alone(self):
        os.mkdir(self.path("ro"))
        shutil.copy(self.path("book.fb2"), self.path("ro", "book.fb2"))
        self.write("a.png", b"a")
        os.chmod(self.path("a.png"), 0o644)
        os.chmod(self.path("ro", "book.fb2"), 0o644)
        os.chmod(self.path("ro"), 0o555)
        user, immutable = None, False
        if os.geteuid() == 0:
            # Permission bits stop nothing for root; an immutable folder stops
            # even root from creating a file in it. Failing that, drop root.
            immutable = subprocess.run(["chattr", "+i", self.path("ro")], capture_output=True).returncode == 0
            if not immutable:
                if is_wine() or shutil.which("setpriv") is None:
                    self.skipTest("cannot make a folder read-only for root here")
                user = 65534  # nobody
        try:
            proc = self.run_host("-v", "add", os.path.join("ro", "book.fb2"), "a.png", expect=1, user=user)
            self.assertIn(b"E_ECREATE", proc.stderr)
            proc = self.run_host("-v", "delete", os.path.join("ro", "book.fb2"), "cover.png", expect=1, user=user)
            self.assertIn(b"E_ECREATE", proc.stderr)
        finally:
            if immutable:
                subprocess.run(["chattr", "-i", self.path("ro")], check=True)
        self.assertEqual(self.read(os.path.join("ro", "book.fb2")), self.original)
        self.assertEqual(os.listdir(self.path("ro")), ["book.fb2"])

    @unittest.skipIf(os.name != "posix" or is_wine_args(), "drops root with setpriv: native builds")
    def test_an_unprivileged_user_cannot_change_a_book_it_may_only_read(self):
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run as another user")
        self.write("a.png", b"a")
        os.chmod(self.path("a.png"), 0o644)
        os.chmod(self.path("book.fb2"), 0o644)
        proc = self.run_host("-v", "add", "book.fb2", "a.png", expect=1, user=65534)
        self.assertIn(b"E_ECREATE", proc.stderr, "the folder is root's")
        os.chmod(self.dir, 0o777)
        proc = self.run_host("-v", "add", "book.fb2", "a.png", expect=1, user=65534)
        self.assertIn(b"E_EWRITE", proc.stderr, "a book the user may not write is not replaced")
        self.assertEqual(self.read("book.fb2"), self.original)
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith("~")), [])

    def skip_under_valgrind(self):
        # Races and kills of large rewrites: what they show does not depend on
        # memory checks, and under valgrind they take most of the run.
        if "valgrind" in ARGS.runner:
            self.skipTest("a race of whole processes; run natively and under the sanitizers")

    def test_writers_at_once_lose_no_change(self):
        self.skip_under_valgrind()
        deadline = time.monotonic() + 3
        added, rounds = [], 0
        while time.monotonic() < deadline or rounds < 2:
            procs = []
            for w in range(3):
                name = f"n{rounds}_{w}.bin"
                self.write(name, name.encode())
                procs.append((name, subprocess.Popen(host_command() + ["-v", "add", "book.fb2", name], cwd=self.dir,
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)))
            for name, proc in procs:
                _, err = proc.communicate(timeout=120)
                if proc.returncode == 0:
                    added.append(name)
                else:
                    self.assertIn(b"E_EOPEN", err, f"only a busy book may refuse a writer (exit {proc.returncode})")
            rounds += 1
        names = self.names("book.fb2")
        self.assertTrue(added)
        for name in added:
            self.assertIn(name, names, "reported added but not in the book")

    def test_a_killed_add_leaves_the_old_book_or_the_new_one(self):
        self.skip_under_valgrind()
        rng = random.Random(3)
        big = [(f"big{i}.bin", rng.randbytes(3 << 20), 76, "") for i in range(8)]
        self.write("big.fb2", make_book(big))
        self.write("add.bin", rng.randbytes(8 << 20))
        old = self.read("big.fb2")
        shutil.copy(self.path("big.fb2"), self.path("done.fb2"))
        started = time.monotonic()
        self.run_host("add", "done.fb2", "add.bin")
        duration = time.monotonic() - started
        new = self.read("done.fb2")
        self.assertNotEqual(old, new)
        seen = set()
        for trial in range(8):
            shutil.copy(self.path("big.fb2"), self.path("victim.fb2"))
            proc = subprocess.Popen(host_command() + ["add", "victim.fb2", "add.bin"], cwd=self.dir,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            time.sleep(duration * trial / 6)  # from at once to past the end
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()
            result = self.read("victim.fb2")
            self.assertIn(result, (old, new), f"trial {trial}: the book is neither the old one nor the new one")
            seen.add(result == new)
        # What a killed rewrite may have left, the next rewrite of the book removes.
        self.run_host("add", "victim.fb2", "add.bin")
        self.assertEqual([n for n in os.listdir(self.dir) if n.startswith("~")], [])
        print(f"\nkilled adds: {'old and new' if len(seen) == 2 else 'new' if True in seen else 'old'} seen",
              file=sys.stderr)


# Where 32-bit Wine runs in a full-system emulator (tools/wine32-vm), each
# run of the host takes seconds: there the cases run that show what is
# particular to 32-bit Windows (code pages, Unicode names, cmd.exe, zipped
# books, the round trip); every build that runs natively runs them all.
UNDER_EMULATION = {
    "test_sample_lists_and_extracts_the_images_the_script_drew",
    "test_json_listing_is_utf8_and_keeps_every_byte",
    "test_a_cyrillic_name_round_trips_in_utf8_and_windows_1251_books",
    "test_the_readmes_windows_example_runs_in_cmd",
    "test_the_windows_host_takes_any_unicode_name",
    "test_a_russian_library_works_in_any_folder_under_either_code_page",
    "test_a_zipped_book_is_edited_as_that_book_and_the_archive_keeps_the_rest",
    "test_round_trip_adds_lists_extracts_and_deletes_back_to_the_original",
}


def emulated_suite():
    def flat(suite):
        for t in suite:
            yield from flat(t) if isinstance(t, unittest.TestSuite) else [t]
    tests = list(flat(unittest.TestLoader().loadTestsFromModule(sys.modules[__name__])))
    missing = UNDER_EMULATION - {getattr(t, "_testMethodName", "") for t in tests}
    if missing:
        sys.exit(f"no such cases to run under emulation: {sorted(missing)}")
    return unittest.TestSuite(t for t in tests if getattr(t, "_testMethodName", "") in UNDER_EMULATION)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    # A 32-bit Linux build's folder and runner come from the test gate.
    ap.add_argument("--build", default=os.environ.get("FB2PACK_BIN32"))
    ap.add_argument("--runner", default=os.environ.get("FB2PACK_RUNNER32", ""))
    ap.add_argument("--exe-suffix", default="")
    ap.add_argument("--plugin", required=True)
    ARGS, rest = ap.parse_known_args()
    if not ARGS.build:
        ap.error("--build is required")
    if os.environ.get("FB2PACK_EMULATED_WINE") and not rest:
        result = unittest.TextTestRunner(verbosity=1).run(emulated_suite())
        sys.exit(0 if result.wasSuccessful() else 1)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)
