#!/usr/bin/env python3
"""Checks the installed tree and the Debian package of a build folder.

Installs the build with `cmake --install` into a temporary DESTDIR (prefix
/usr), checks the files, runs the installed programs, then builds the .deb
with CPack and checks its control data and contents.
"""

import argparse
import configparser
import os
import shutil
import sqlite3
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zlib

ARGS = None

PROGRAMS = ["usr/bin/qle", "usr/bin/qle-cli", "usr/bin/psu-sim"]
CATALOGUE = "usr/share/qle/mtype.mdb"
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
SVG_ICON = "usr/share/icons/hicolor/scalable/apps/qle.svg"
# Qt runtime packages the program needs on a clean Debian 12.
QT_RUNTIME = [
    "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6",
    "libqt6serialport6", "libqt6sql6", "libqt6sql6-sqlite", "libqt6charts6",
    "libqt6printsupport6", "libqt6svg6", "qt6-qpa-plugins",
]
OPTIONS = ["--serial-device", "--data-dir", "--trace", "--help", "--version"]


def run(cmd, env=None, check=True, timeout=240):
    proc = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, timeout=timeout)
    if check and proc.returncode != 0:
        raise AssertionError("%s exited %d\nstdout:\n%s\nstderr:\n%s"
                             % (" ".join(cmd), proc.returncode, proc.stdout, proc.stderr))
    return proc


def files_under(root):
    """Relative paths of all files and links under root."""
    found = set()
    for folder, _dirs, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def png_pixels(path):
    """(width, height, colour type, RGBA rows) of an 8-bit non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("%s is not a PNG file" % path)
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _comp, _filter, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        return width, height, colour, None
    raw = zlib.decompress(idat)
    bpp, stride = 4, width * 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = prev[i]
            upleft = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upleft
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else upleft)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, colour, rows


def needed_libraries(binary):
    out = run(["readelf", "-d", binary]).stdout
    return [line.split("[", 1)[1].rstrip("]").strip()
            for line in out.splitlines() if "(NEEDED)" in line]


def owning_package(library_path):
    """The Debian package that holds a library (usr-merged paths tried both ways)."""
    real = os.path.realpath(library_path)
    candidates = [library_path, real]
    for p in list(candidates):
        candidates.append(p[4:] if p.startswith("/usr/") else "/usr" + p)
    for p in candidates:
        proc = run(["dpkg-query", "-S", p], check=False)
        if proc.returncode == 0:
            return proc.stdout.split(":", 1)[0].strip()
    return None


def resolved_libraries(binary):
    """Map of NEEDED soname -> path the loader picks, from ldd."""
    out = run(["ldd", binary]).stdout
    paths = {}
    for line in out.splitlines():
        if "=>" in line:
            name, rest = line.strip().split("=>", 1)
            paths[name.strip()] = rest.strip().split(" ")[0]
    return paths


def depends_names(field):
    names = set()
    for clause in field.split(","):
        for alternative in clause.split("|"):
            name = alternative.strip().split(" ")[0].split(":")[0]
            if name:
                names.add(name)
    return names


def expected_files(root):
    """The installed files, given the names of the desktop entry and metainfo found under root."""
    expected = set(PROGRAMS) | {CATALOGUE, SVG_ICON}
    for folder in ("usr/share/applications", "usr/share/metainfo"):
        if os.path.isdir(os.path.join(root, folder)):
            expected |= {folder + "/" + n for n in os.listdir(os.path.join(root, folder))}
    expected |= {"usr/share/icons/hicolor/%dx%d/apps/qle.png" % (s, s) for s in ICON_SIZES}
    return expected


TMP = None   # everything the checks write, removed at the end
ROOT = None  # the DESTDIR
HOME = None  # HOME for the programs run


def setUpModule():
    global TMP, ROOT, HOME
    TMP = tempfile.mkdtemp(prefix="qle-packaging-")
    ROOT = os.path.join(TMP, "root")
    HOME = os.path.join(TMP, "home")
    os.makedirs(HOME)
    run(["cmake", "--build", ARGS.build_dir, "--target", "qle", "psu-sim", "qle_catalogue", "qle_icons"],
        timeout=1200)
    run(["cmake", "--install", ARGS.build_dir, "--prefix", "/usr"], env=dict(os.environ, DESTDIR=ROOT))


def tearDownModule():
    shutil.rmtree(TMP, ignore_errors=True)


def text_env(offscreen):
    """Environment for running an installed program: a private HOME and no
    display; with offscreen, Qt's offscreen platform instead of none."""
    env = dict(os.environ)
    env["HOME"] = HOME
    env["XDG_CONFIG_HOME"] = os.path.join(HOME, "config")
    env["XDG_DATA_HOME"] = os.path.join(HOME, "data")
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    if offscreen:
        env["QT_QPA_PLATFORM"] = "offscreen"
    return env


class Install(unittest.TestCase):
    """The tree `cmake --install` writes under DESTDIR with prefix /usr."""

    @property
    def root(self):
        return ROOT

    def path(self, relative):
        return os.path.join(ROOT, relative)

    def desktop_files(self):
        folder = self.path("usr/share/applications")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def metainfo_files(self):
        folder = self.path("usr/share/metainfo")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def test_installs_exactly_the_expected_files(self):
        self.assertEqual(self.desktop_files(), ["qle.desktop"])
        self.assertEqual(len(self.metainfo_files()), 1, self.metainfo_files())
        self.assertEqual(files_under(self.root), expected_files(self.root))

    def test_programs_are_executable_and_data_is_not(self):
        for relative in files_under(self.root):
            mode = os.stat(self.path(relative)).st_mode
            if relative in PROGRAMS:
                self.assertTrue(mode & stat.S_IXOTH, relative)
            else:
                self.assertFalse(mode & 0o111, relative)
            self.assertTrue(mode & stat.S_IROTH, relative)

    def test_programs_carry_no_path_into_the_build(self):
        if not shutil.which("readelf"):
            self.skipTest("readelf not installed")
        for relative in PROGRAMS:
            out = run(["readelf", "-d", self.path(relative)]).stdout
            for line in out.splitlines():
                if "RPATH" in line or "RUNPATH" in line:
                    self.assertNotIn(os.path.realpath(ARGS.build_dir), line, relative)

    def test_command_line_program_needs_no_windows(self):
        # qle-cli runs where there is no display: no widget library, no GUI.
        binary = self.path("usr/bin/qle-cli")
        for soname in needed_libraries(binary):
            self.assertNotIn("Widgets", soname)
            self.assertNotIn("Gui", soname)
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        proc = run([binary, "--help"], env=env)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn("identify", proc.stdout)

    def test_shipped_catalogue_is_beside_the_programs_folder(self):
        # The program looks for it as <its folder>/../share/qle/mtype.mdb.
        beside = os.path.normpath(os.path.join(self.path("usr/bin"), "..", "share", "qle", "mtype.mdb"))
        self.assertTrue(os.path.isfile(beside))
        with open(beside, "rb") as a, open(os.path.join(ARGS.build_dir, "share/qle/mtype.mdb"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        db = sqlite3.connect("file:%s?mode=ro" % beside, uri=True)
        try:
            models = [r[0] for r in db.execute("SELECT MTYPE FROM data1")]
            self.assertIn("KMA-3303T", models)
            self.assertEqual(db.execute("SELECT COUNT(*) FROM datamain").fetchone()[0], 0)
        finally:
            db.close()

    def test_desktop_entry(self):
        entry = self.path("usr/share/applications/qle.desktop")
        if shutil.which("desktop-file-validate"):
            proc = run(["desktop-file-validate", entry], check=False)
            self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)
            self.assertEqual(proc.stdout.strip(), "", "desktop-file-validate: " + proc.stdout)
        parser = configparser.RawConfigParser(delimiters=("=",), comment_prefixes=("#",),
                                              interpolation=None, strict=True)
        parser.optionxform = str
        parser.read(entry, encoding="utf-8")
        self.assertEqual(parser.sections()[0], "Desktop Entry")
        group = parser["Desktop Entry"]
        self.assertEqual(group.get("Type"), "Application")
        self.assertTrue(group.get("Name"))
        self.assertTrue(group.get("Comment"))
        self.assertEqual(group.get("Exec", "").split()[0], "qle")
        self.assertTrue(os.path.isfile(self.path("usr/bin/qle")))
        self.assertEqual(group.get("Icon"), "qle")
        self.assertEqual(group.get("Terminal"), "false")
        categories = [c for c in group.get("Categories", "").split(";") if c]
        self.assertIn("Science", categories)
        self.assertIn("Electronics", categories)

    def test_metainfo(self):
        name = self.metainfo_files()[0]
        self.assertTrue(name.endswith(".metainfo.xml"), name)
        component = ET.parse(self.path("usr/share/metainfo/" + name)).getroot()
        self.assertEqual(component.tag, "component")
        self.assertEqual(component.get("type"), "desktop-application")
        self.assertEqual(component.findtext("id"), name[:-len(".metainfo.xml")])
        self.assertGreaterEqual(len(component.findtext("id").split(".")), 3, "id is not reverse-DNS")
        launchables = [l.text for l in component.findall("launchable") if l.get("type") == "desktop-id"]
        self.assertEqual(launchables, ["qle.desktop"])
        self.assertTrue(component.findtext("name"))
        self.assertTrue(component.findtext("summary"))
        self.assertTrue(component.findtext("metadata_license"))
        releases = [r.get("version") for r in component.findall("releases/release")]
        self.assertEqual(releases[:1], [ARGS.version])
        binaries = {b.text for b in component.findall("provides/binary")}
        self.assertEqual(binaries, {"qle", "psu-sim"})

    def test_metainfo_validates(self):
        if not shutil.which("appstreamcli"):
            self.skipTest("appstreamcli not installed (package appstream)")
        proc = run(["appstreamcli", "validate-tree", "--no-net", self.root], check=False)
        self.assertEqual(proc.returncode, 0, proc.stdout + proc.stderr)

    def test_icons(self):
        with open(self.path(SVG_ICON), "rb") as a, open(ARGS.icon_svg, "rb") as b:
            self.assertEqual(a.read(), b.read())
        for size in ICON_SIZES:
            width, height, colour, rows = png_pixels(
                self.path("usr/share/icons/hicolor/%dx%d/apps/qle.png" % (size, size)))
            self.assertEqual((width, height), (size, size))
            self.assertEqual(colour, 6, "%d px icon is not RGBA" % size)
            alpha = [row[x * 4 + 3] for row in rows for x in range(width)]
            covered = sum(1 for a in alpha if a > 0) / len(alpha)
            # The picture is a rounded panel on a transparent background.
            self.assertGreater(covered, 0.4, "%d px icon is nearly empty" % size)
            self.assertLess(covered, 0.95, "%d px icon has no transparent margin" % size)
            self.assertEqual(alpha[0], 0, "%d px icon: corner not transparent" % size)

    def test_version(self):
        for offscreen in (True, False):
            proc = run([self.path("usr/bin/qle"), "--version"], env=text_env(offscreen))
            self.assertEqual(proc.stdout.split(), ["QLE", ARGS.version],
                             "offscreen=%s: %r" % (offscreen, proc.stdout))

    def test_help_lists_every_option(self):
        for offscreen in (True, False):
            proc = run([self.path("usr/bin/qle"), "--help"], env=text_env(offscreen))
            for option in OPTIONS:
                self.assertRegex(proc.stdout, r"(^|[ ,])%s\b" % option,
                                 "offscreen=%s: %s missing" % (offscreen, option))
            self.assertIn("<PATH>", proc.stdout)
            self.assertIn("<DIR>", proc.stdout)

    def test_unknown_option_is_refused(self):
        proc = run([self.path("usr/bin/qle"), "--no-such-option"], env=text_env(True), check=False)
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("no-such-option", proc.stderr)

    def test_virtual_instrument_runs(self):
        proc = run([self.path("usr/bin/psu-sim"), "--list-models"], env=text_env(False))
        self.assertIn("KMA-3303T", proc.stdout)
        self.assertIn("QLE-5505", proc.stdout)


class DebianPackage(unittest.TestCase):
    """The .deb CPack builds from the same build folder."""

    tmp = None
    deb = None
    arch = None

    @classmethod
    def setUpClass(cls):
        if not shutil.which("dpkg-deb") or not shutil.which("cpack"):
            raise unittest.SkipTest("dpkg-deb or cpack not installed")
        cls.tmp = os.path.join(TMP, "deb")
        run(["cpack", "-G", "DEB", "--config", os.path.join(ARGS.build_dir, "CPackConfig.cmake"),
             "-B", cls.tmp], timeout=600)
        cls.arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        debs = [n for n in os.listdir(cls.tmp) if n.endswith(".deb")]
        cls.debs = debs
        cls.deb = os.path.join(cls.tmp, debs[0]) if len(debs) == 1 else None

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.strip()

    def test_file_name(self):
        self.assertEqual(self.debs, ["qle_%s_%s.deb" % (ARGS.version, self.arch)])

    def test_control_data(self):
        info = run(["dpkg-deb", "-I", self.deb]).stdout
        self.assertIn("Package: qle", info)
        self.assertEqual(self.field("Package"), "qle")
        self.assertEqual(self.field("Version"), ARGS.version)
        self.assertEqual(self.field("Architecture"), self.arch)
        self.assertTrue(self.field("Maintainer"))
        self.assertTrue(self.field("Description"))
        self.assertEqual(self.field("Section"), "electronics")

    def test_depends_on_the_qt_runtime(self):
        depends = depends_names(self.field("Depends"))
        for package in QT_RUNTIME:
            self.assertIn(package, depends)
        # Every name is a real package (the build machine has each installed).
        for package in sorted(depends):
            proc = run(["dpkg-query", "-W", "-f=${Status}", package], check=False)
            self.assertIn("install ok installed", proc.stdout, "unknown or missing package " + package)

    def test_depends_covers_every_linked_library(self):
        if not shutil.which("readelf"):
            self.skipTest("readelf not installed")
        depends = depends_names(self.field("Depends"))
        extracted = os.path.join(self.tmp, "extracted")
        run(["dpkg-deb", "-x", self.deb, extracted])
        for relative in PROGRAMS:
            binary = os.path.join(extracted, relative)
            paths = resolved_libraries(binary)
            for soname in needed_libraries(binary):
                self.assertIn(soname, paths, "%s: %s not found" % (relative, soname))
                package = owning_package(paths[soname])
                self.assertIsNotNone(package, "%s: no package holds %s" % (relative, paths[soname]))
                self.assertIn(package, depends, "%s needs %s from %s" % (relative, soname, package))

    def test_contents_match_the_install(self):
        listing = run(["dpkg-deb", "-c", self.deb]).stdout
        files = {}
        for line in listing.splitlines():
            parts = line.split(None, 5)
            mode, owner, path = parts[0], parts[1], parts[5]
            self.assertEqual(owner, "root/root", path)
            if not mode.startswith("d"):
                files[path.lstrip("./").split(" -> ")[0]] = mode
        self.assertEqual(set(files), files_under(ROOT))
        self.assertEqual(set(files), expected_files(ROOT))
        for path, mode in files.items():
            self.assertEqual(mode, "-rwxr-xr-x" if path in PROGRAMS else "-rw-r--r--", path)

    def test_packaged_programs_run(self):
        extracted = os.path.join(self.tmp, "run")
        run(["dpkg-deb", "-x", self.deb, extracted])
        env = text_env(True)
        proc = run([os.path.join(extracted, "usr/bin/qle"), "--version"], env=env)
        self.assertEqual(proc.stdout.split(), ["QLE", ARGS.version])
        proc = run([os.path.join(extracted, "usr/bin/psu-sim"), "--list-models"], env=env)
        self.assertIn("KMA-3303T", proc.stdout)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--icon-svg", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.build_dir = os.path.abspath(ARGS.build_dir)
    result = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
