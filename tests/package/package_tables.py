"""The installer package and the archive of the shipped programs, read back without Wine:
the package's tables with msiinfo, its files with msiextract, the archive's entries, and the
user's guide against the README's exit statuses."""
import html.parser
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

from package_support import (FILES, GUIDE, PROGRAMS, SHIPPED_BIN, SOURCE, SCRATCH, UPGRADE_CODE, VERSION,
                             file_version, make_package, msi_table, next_version, pe_machine)


class PackageTables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.package = make_package(SHIPPED_BIN, os.path.join(SCRATCH, "tables"))

    def test_product(self):
        properties = self.package.properties()
        size = sum(len(self.package.staged(f)) for f in FILES)
        for name, expected in [("ProductName", "Stelvar"), ("ProductVersion", VERSION), ("Manufacturer", "Korvantex"),
                               ("UpgradeCode", UPGRADE_CODE), ("ALLUSERS", "1"), ("ARPSIZE", str((size + 1023) // 1024))]:
            with self.subTest(property=name):
                self.assertEqual(expected, properties.get(name))
        summary = subprocess.run(["msiinfo", "suminfo", self.package.msi], stdout=subprocess.PIPE, text=True,
                                 check=True, timeout=60).stdout
        self.assertIn("Template: Intel;1033", summary, "a 32-bit package")

    def test_holds_the_shipped_programs_and_the_guide(self):
        self.assertEqual("Stelvar-%s.msi" % VERSION, os.path.basename(self.package.msi))
        self.assertEqual("Stelvar-%s.zip" % VERSION, os.path.basename(self.package.zip))
        extracted = tempfile.mkdtemp(prefix="stelvar-msi-")
        self.addCleanup(shutil.rmtree, extracted, True)
        subprocess.run(["msiextract", "-C", extracted, self.package.msi], check=True, stdout=subprocess.DEVNULL,
                       timeout=60)
        folder = os.path.join(extracted, "Program Files", "Stelvar")
        self.assertEqual(sorted(FILES), sorted(os.listdir(folder)))
        with zipfile.ZipFile(self.package.zip) as archive:
            self.assertEqual(sorted(FILES), sorted(archive.namelist()), "the files at the archive's top")
            for name in FILES:
                with self.subTest(file=name), open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                    self.assertEqual(data, archive.read(name), "the same file in both")
                    if name in PROGRAMS:
                        self.assertEqual(0x14C, pe_machine(data), "the shipped 32-bit program")
                        # VelManager.dll keeps the library's own version.
                        self.assertEqual("1.0.0.0" if name == "VelManager.dll" else VERSION + ".0", file_version(data))

    def test_shortcuts_are_plain_links_to_the_installed_files(self):
        dirs = {row["Directory"]: (row["Directory_Parent"], row["DefaultDir"]) for row in msi_table(self.package.msi,
                                                                                                    "Directory")}
        self.assertEqual(("ProgramFilesFolder", "Stelvar"), dirs["INSTALLDIR"])
        files = {row["File"]: row["FileName"] for row in msi_table(self.package.msi, "File")}
        links = {row["Name"]: row for row in msi_table(self.package.msi, "Shortcut")}
        self.assertEqual(["Stelvar", "Stelvar User Guide"], sorted(links))
        for name, target in [("Stelvar", "Stelvar.exe"), ("Stelvar User Guide", GUIDE)]:
            with self.subTest(shortcut=name):
                self.assertEqual(("ProgramMenuFolder", "Stelvar"), dirs[links[name]["Directory_"]])
                # [#file] makes a plain shortcut; a feature name would make an advertised one.
                key = re.fullmatch(r"\[#(\w+)\]", links[name]["Target"])
                self.assertEqual(target, files.get(key and key.group(1)))

    def test_upgrade_rows_take_in_a_rebuild_of_the_same_version(self):
        # Each build has a product code of its own: a rebuilt package of this version must
        # replace the installed one, not sit beside it.
        rows = {row["ActionProperty"]: row for row in msi_table(self.package.msi, "Upgrade")}
        older, newer = (rows[p] for p in ("OLDER_STELVAR_FOUND", "NEWER_STELVAR_FOUND"))
        self.assertEqual([UPGRADE_CODE] * 2, [older["UpgradeCode"], newer["UpgradeCode"]])
        # Attributes: 0x2 only detect, 0x100 minimum included, 0x200 maximum included.
        self.assertEqual(("0.0.0", next_version(VERSION), 0x100),
                         (older["VersionMin"], older["VersionMax"], int(older["Attributes"]) & 0x302))
        self.assertEqual((VERSION, "", 0x2), (newer["VersionMin"], newer["VersionMax"], int(newer["Attributes"]) & 0x302))


class Guide(html.parser.HTMLParser):
    """The guide's text, its tables (rows of cell texts) and the references it makes."""

    def __init__(self, text):
        super().__init__()
        self.text, self.tables, self.references, self.cell = [], [], [], None
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        self.references += [value for name, value in attrs if name in ("href", "src")]
        if tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell = []

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.tables[-1][-1].append(" ".join("".join(self.cell).split()))
            self.cell = None

    def handle_data(self, data):
        self.text.append(data)
        if self.cell is not None:
            self.cell.append(data)


def readme_status_tables():
    """The README's exit-status tables of velinspect and velflash, as rows of cell texts."""
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    tables = []
    for tool in ("velinspect", "velflash"):
        section = readme[readme.index("### " + tool):]
        rows = []
        for line in section[section.index("| Status | When |"):].splitlines()[2:]:
            if not line.startswith("|"):
                break
            rows.append([c.strip().replace("`", "") for c in line.strip("|").split("|")])
        tables.append(rows)
    return tables


class UserGuide(unittest.TestCase):
    def test_guide(self):
        later = next_version(VERSION)
        raw = make_package(SHIPPED_BIN, os.path.join(SCRATCH, "guide"), later).staged(GUIDE)
        guide = Guide(raw.decode("utf-8"))
        text = " ".join("".join(guide.text).split())
        self.assertIn("Stelvar " + later, text)
        self.assertIn("msiexec /i Stelvar-%s.msi /qn" % later, text)
        # The settings key is the program's fixed text, whatever the package's version.
        self.assertIn("HKEY_CURRENT_USER\\Software\\Korvantex\\Stelvar V1.0.2", text)
        self.assertEqual([], [r for r in guide.references if not r.startswith("#")], "refers to nothing outside")
        self.assertIn(b"\r\n", raw, "Windows line ends")
        statuses = [t[1:] for t in guide.tables if t and t[0] == ["Exit status", "When"]]
        self.assertEqual(readme_status_tables(), statuses, "the tools' exit statuses as the README has them")


if __name__ == "__main__":
    unittest.main(verbosity=2)
