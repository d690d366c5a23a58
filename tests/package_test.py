#!/usr/bin/env python3
"""Checks the release packages in dist/: the Windows zip's files, its install
descriptor and the DLLs' version resources; the Debian package unpacked into a
scratch root, where the installed host must run and list the sample book; and
the manual page, which must render without warnings."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DIST = os.path.join(ROOT, "dist")


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(fb2pack VERSION (\d+\.\d+\.\d+)", f.read()).group(1)


VERSION = project_version()


def pe_sections(data):
    """Section names; long ones ("/N") read from the COFF string table."""
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, offset + 6)[0]
    symbols, nsymbols = struct.unpack_from("<II", data, offset + 12)
    optional = struct.unpack_from("<H", data, offset + 20)[0]
    table = offset + 24 + optional
    names = []
    for i in range(count):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and symbols:
            at = symbols + 18 * nsymbols + int(name[1:])
            name = data[at:data.index(b"\0", at)].decode("latin-1")
        names.append(name)
    return names


def pe_machine(data):
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0"
    return struct.unpack_from("<H", data, offset + 4)[0]


class WindowsZip(unittest.TestCase):
    def setUp(self):
        self.zip = zipfile.ZipFile(os.path.join(DIST, f"fb2pack-{VERSION}-windows.zip"))

    def test_holds_both_plugins_the_host_the_readme_the_licence_and_the_descriptor(self):
        self.assertEqual(sorted(self.zip.namelist()), ["LICENSE.txt", "fb2pack.exe", "fb2pack.wcx", "fb2pack.wcx64",
                                                       "pluginst.inf", "readme.txt"])
        self.assertEqual(pe_machine(self.zip.read("fb2pack.wcx")), 0x14C, "32-bit x86")
        self.assertEqual(pe_machine(self.zip.read("fb2pack.exe")), 0x14C, "the host that loads fb2pack.wcx")
        self.assertEqual(pe_machine(self.zip.read("fb2pack.wcx64")), 0x8664, "x86-64")
        self.assertIn(VERSION.encode(), self.zip.read("readme.txt"))
        self.assertIn(b"MIT License", self.zip.read("LICENSE.txt"))

    def test_dlls_are_stripped(self):
        for name in ["fb2pack.wcx", "fb2pack.wcx64", "fb2pack.exe"]:
            sections = pe_sections(self.zip.read(name))
            self.assertIn(".text", sections, name)
            self.assertEqual([s for s in sections if s.startswith(".debug")], [], name)

    def test_install_descriptor(self):
        text = self.zip.read("pluginst.inf").decode("ascii")
        self.assertEqual(text.splitlines(), [
            "[plugininstall]",
            "description=FB2 e-book images as an archive: list, extract, add, delete",
            "type=wcx",
            "file=fb2pack.wcx",
            "defaultdir=fb2pack",
            "defaultextension=fb2",
        ])

    def test_both_dlls_carry_a_version_resource(self):
        for name in ["fb2pack.wcx", "fb2pack.wcx64"]:
            data = self.zip.read(name)
            for key, value in [("ProductName", "fb2pack"), ("FileVersion", VERSION),
                               ("OriginalFilename", name),
                               ("FileDescription", "FB2 e-book images as an archive")]:
                self.assertIn(key.encode("utf-16-le"), data, f"{name} {key}")
                self.assertIn(value.encode("utf-16-le"), data, f"{name} {key}")
            at = data.find(b"\xbd\x04\xef\xfe")  # the fixed file information
            self.assertGreater(at, 0, name)
            major, minor, patch = (int(p) for p in VERSION.split("."))
            ms, ls = struct.unpack_from("<II", data, at + 8)
            self.assertEqual((ms, ls), ((major << 16) | minor, patch << 16), f"{name}: file version")


class DebianPackage(unittest.TestCase):
    def setUp(self):
        self.deb = os.path.join(DIST, f"fb2pack_{VERSION}_amd64.deb")
        self.root = tempfile.mkdtemp(prefix="fb2pack-deb-")
        subprocess.run(["dpkg-deb", "-x", self.deb, self.root], check=True)

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def test_control_names_the_version(self):
        fields = subprocess.run(["dpkg-deb", "-f", self.deb, "Package", "Version"], check=True,
                                capture_output=True, text=True).stdout
        self.assertIn("Package: fb2pack", fields)
        self.assertIn(f"Version: {VERSION}", fields)

    def test_installs_host_plugin_manual_and_readme(self):
        for path in ["usr/bin/fb2pack", "usr/lib/fb2pack/fb2pack.wcx", "usr/share/man/man1/fb2pack.1",
                     "usr/share/doc/fb2pack/README.md", "usr/share/bash-completion/completions/fb2pack"]:
            self.assertTrue(os.path.isfile(os.path.join(self.root, path)), path)

    def test_installed_host_runs_and_lists_the_sample_book(self):
        host = os.path.join(self.root, "usr", "bin", "fb2pack")
        out = subprocess.run([host, "--version"], check=True, capture_output=True, text=True).stdout
        self.assertRegex(out, rf"^fb2pack {re.escape(VERSION)}( \([0-9a-f]{{7}}\))?\n$")
        out = subprocess.run([host, "list", os.path.join(ROOT, "examples", "sample.fb2")], check=True,
                             capture_output=True, text=True).stdout
        self.assertEqual(out.splitlines(), ["cover.png", "chart.png", "rings.png"])

    def test_manual_page_renders_without_warnings(self):
        page = os.path.join(self.root, "usr", "share", "man", "man1", "fb2pack.1")
        proc = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                              env=dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat"))
        self.assertEqual(proc.returncode, 0)
        self.assertEqual(proc.stderr, "")
        self.assertIn("fb2pack - list, extract, add and delete", proc.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
