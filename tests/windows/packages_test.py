#!/usr/bin/python3
"""What a Windows user gets: the installer run under Wine, in a prefix and
home folder of this test's own, and what census.exe and the zip carry.

  packages_test.py installer SETUP TREE VERSION
      SETUP silently installed, installed again over the operator's own
      grid, run while census runs, and uninstalled; TREE holds the files
      it must install.
  packages_test.py version EXE VERSION
      the version information in a Windows program (python3-pefile).
  packages_test.py zip ZIP
      the zip's files, its text files with CR LF line ends.

Exits 0 when every check holds, 1 naming each that does not.
"""

import inspect
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

failures = []


def check(holds, what):
    if not holds:
        failures.append(what)
        print(f"FAILED: {what}", flush=True)


# The files of the program, as the installer and the zip lay them out.
PROGRAM_FILES = [
    "census.exe",
    "census-manual.txt",
    "README.txt",
    "LICENSE.txt",
    "CHANGELOG.txt",
    "examples/README.txt",
    "examples/cens-stat.dat",
]
TEXT_SUFFIXES = (".txt", ".dat")


def has_crlf_lines(content):
    return content.endswith(b"\r\n") and content.count(b"\n") == content.count(b"\r\n")


# ---------------------------------------------------------------- shortcuts

LINK_STRINGS = ["name", "relative path", "working folder", "arguments", "icon"]


def read_shortcut(path):
    """The target, arguments, working folder and show command of a Windows
    shortcut (.lnk, the Shell Link format): its LinkInfo's local path, the
    string data that follows it, and the header's ShowCommand."""
    data = path.read_bytes()
    flags = struct.unpack_from("<I", data, 0x14)[0]
    show = struct.unpack_from("<I", data, 0x3C)[0]
    offset = 0x4C
    if flags & 0x1:  # a target ID list
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    target = None
    if flags & 0x2:  # link info
        size, _, info_flags, _, base_offset = struct.unpack_from("<IIIII", data, offset)
        if info_flags & 0x1:
            end = data.index(b"\0", offset + base_offset)
            target = data[offset + base_offset : end].decode("latin-1")
        offset += size
    strings = {}
    for bit, name in enumerate(LINK_STRINGS):
        if flags & (0x4 << bit):
            count = struct.unpack_from("<H", data, offset)[0]
            text = data[offset + 2 : offset + 2 + 2 * count].decode("utf-16-le")
            strings[name] = text.rstrip("\0")
            offset += 2 + 2 * count
    return target, strings.get("arguments", ""), strings.get("working folder", ""), show


# ---------------------------------------------------------------- Wine


class WinePrefix:
    """A Wine prefix and a home folder of their own, so that Documents and
    the Start menu of this test are nobody else's."""

    def __init__(self, folder):
        self.home = pathlib.Path(folder) / "home"
        self.home.mkdir()
        self.root = pathlib.Path(folder) / "prefix"
        self.env = {
            key: value
            for key, value in os.environ.items()
            if not key.startswith(("XDG_", "WINE", "DISPLAY", "WAYLAND"))
        }
        self.env.update(
            HOME=str(self.home),
            WINEPREFIX=str(self.root),
            WINEDEBUG="-all",
            # No Mono or Gecko to offer, no menu entries on the Linux desktop.
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
        )
        self.run("wineboot", "-i")
        users = self.root / "drive_c" / "users"
        user = next(p.name for p in users.iterdir() if p.name != "Public")
        # Where census goes by default, its shortcuts, and its data.
        self.install_folder = rf"C:\users\{user}\AppData\Local\Programs\census"
        self.start_menu = (rf"C:\users\{user}\AppData\Roaming\Microsoft\Windows"
                           r"\Start Menu\Programs\census")
        self.data_folder = rf"C:\users\{user}\Documents\census"
        self.installed = self.unix_path(self.install_folder)

    def run(self, *command, wait_for_all=True):
        """Runs a command in the prefix and, unless told otherwise, waits
        until every Windows process has ended: an uninstaller goes on in a
        copy of itself."""
        # Output goes to files, not pipes: a process the command starts
        # (Wine's explorer) may hold a pipe open for as long as the prefix runs.
        with tempfile.TemporaryFile() as output:
            done = subprocess.run(["wine", *command], env=self.env, stdout=output,
                                  stderr=subprocess.DEVNULL, timeout=300)
            output.seek(0)
            done.stdout = output.read()
        if wait_for_all:
            self.wait_for_all()
        return done

    def wait_for_all(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)

    def start(self, *command):
        """Starts a command in the prefix that goes on running."""
        return subprocess.Popen(["wine", *command], env=self.env, stderr=subprocess.PIPE)

    def stop_all(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        self.wait_for_all()

    def unix_path(self, windows_path):
        """The file behind a C:\\ path, through the prefix's drive."""
        relative = windows_path[3:].replace("\\", "/")
        return self.root / "drive_c" / relative

    def registry_values(self, key):
        """{name: (type, data)} of a registry key; None where there is no key."""
        done = self.run("reg", "query", key)
        if done.returncode != 0:
            return None
        values = {}
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            found = re.match(r"^    (.+?)    (REG_\w+)    ?(.*)$", line)
            if found:
                values[found.group(1)] = (found.group(2), found.group(3))
        return values

    def set_user_path(self, path):
        self.run("reg", "add", r"HKCU\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ",
                 "/d", path, "/f")

    def user_path(self):
        return (self.registry_values(r"HKCU\Environment") or {}).get("Path")


UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\census"
# The user's Path before census: census goes after these and leaves them be.
PATH_BEFORE = r"C:\tools;%USERPROFILE%\bin"


def expected_shortcuts(wine):
    program = wine.install_folder + r"\census.exe"
    data_folder = wine.data_folder
    # SW_SHOWNORMAL; "census in the browser" starts minimized
    # (SW_SHOWMINNOACTIVE), so that a start that only opens the browser on
    # a running server flashes no window: census shows it where it serves.
    normal, minimized = 1, 7
    return {
        "census.lnk": (program, "", data_folder, normal),
        "census in the browser.lnk": (program, "serve --open", data_folder, minimized),
        "census manual.lnk": (wine.install_folder + r"\census-manual.txt", "", wine.install_folder, normal),
        "Uninstall census.lnk": (wine.install_folder + r"\uninstall.exe", "", wine.install_folder, normal),
    }


def check_installed(wine, tree, version):
    for name in PROGRAM_FILES:
        file = wine.installed / name
        check(file.is_file() and file.read_bytes() == (tree / name).read_bytes(),
              f"{name} installed as built")

    start_menu = wine.unix_path(wine.start_menu)
    shortcuts = expected_shortcuts(wine)
    found = sorted(p.name for p in start_menu.glob("*.lnk")) if start_menu.is_dir() else []
    check(found == sorted(shortcuts), f"the Start menu's census folder holds {sorted(shortcuts)}: {found}")
    for name, expected in shortcuts.items():
        if (start_menu / name).is_file():
            actual = read_shortcut(start_menu / name)
            check(actual == expected, f"{name}: {actual} is {expected}")

    path = wine.user_path()
    check(path == ("REG_EXPAND_SZ", PATH_BEFORE + ";" + wine.install_folder),
          f"census once on the user's Path, after what was there: {path}")
    version_line = wine.run("cmd", "/c", "census", "--version").stdout.split(b"\r\n")[0]
    check(version_line == f"census {version}".encode(),
          f"census --version from the Path: {version_line!r}")

    key = wine.registry_values(UNINSTALL_KEY) or {}
    for name, data in [("DisplayName", "census"), ("DisplayVersion", version),
                       ("Publisher", "the census authors"),
                       ("UninstallString", f'"{wine.install_folder}\\uninstall.exe"'),
                       ("QuietUninstallString", f'"{wine.install_folder}\\uninstall.exe" /S')]:
        check(key.get(name, (None, None))[1] == data, f"uninstall key {name}: {key.get(name)}")
    size_kib = int(key.get("EstimatedSize", ("", "0"))[1], 16)
    program_kib = sum((tree / name).stat().st_size for name in PROGRAM_FILES) // 1024
    check(program_kib <= size_kib <= 2 * program_kib,
          f"uninstall key EstimatedSize {size_kib} KiB for {program_kib} KiB of files")


def check_uninstalled(wine, path_before):
    check(not wine.installed.exists(), "the program's folder is gone")
    check(not wine.unix_path(wine.start_menu).exists(), "the Start menu's census folder is gone")
    check(wine.registry_values(UNINSTALL_KEY) is None, "the uninstall key is gone")
    check(wine.user_path() == ("REG_EXPAND_SZ", path_before),
          f"the user's Path is as it was: {wine.user_path()}")


def check_data_kept(data, grid, what):
    """The data folder holds the operator's two files, the grid as it was."""
    check(sorted(p.name for p in data.iterdir()) == ["cens-stat.dat", "datas.dat"]
          and data.joinpath("cens-stat.dat").read_bytes() == grid, what)


def test_installer(setup, tree, version):
    tree = pathlib.Path(tree)
    with tempfile.TemporaryDirectory(prefix="census-installer-") as folder:
        wine = WinePrefix(folder)
        wine.set_user_path(PATH_BEFORE)
        data = wine.home / "census"  # Documents is the home folder under Wine

        print("silent install", flush=True)
        check(wine.run(setup, "/S").returncode == 0, "the installer succeeds")
        check(data.joinpath("cens-stat.dat").read_bytes()
              == (tree / "examples/cens-stat.dat").read_bytes(),
              "the data folder holds the example grid")
        check_installed(wine, tree, version)

        print("install again over the operator's own grid", flush=True)
        own = b"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n"
        data.joinpath("cens-stat.dat").write_bytes(own)
        data.joinpath("datas.dat").write_bytes(b"Oyo 120 60 55 30\r\n")
        check(wine.run(setup, "/S").returncode == 0, "the installer succeeds again")
        check(data.joinpath("cens-stat.dat").read_bytes() == own, "the operator's grid is kept")
        check_installed(wine, tree, version)

        print("installing and uninstalling while census runs", flush=True)
        server = wine.start(wine.installed / "census.exe", "serve", "--port", "0")
        server.stderr.readline()  # "census: serving ..."
        setup_status = wine.run(setup, "/S", wait_for_all=False).returncode
        # _?= keeps the uninstaller in place, so that its status is its own
        uninstall_status = wine.run(wine.installed / "uninstall.exe", "/S",
                                    "_?=" + wine.install_folder, wait_for_all=False).returncode
        wine.stop_all()
        server.wait()
        check(setup_status == 2, f"the installer stops with status 2: {setup_status}")
        check(uninstall_status == 2, f"the uninstaller stops with status 2: {uninstall_status}")
        check_installed(wine, tree, version)

        print("silent uninstall", flush=True)
        wine.run(wine.installed / "uninstall.exe", "/S")
        check_uninstalled(wine, PATH_BEFORE)
        check_data_kept(data, own, "the data folder is untouched")

        print("census installed into the data folder itself", flush=True)
        check(wine.run(setup, "/S", "/D=" + wine.data_folder).returncode == 0,
              "the installer succeeds")
        check(data.joinpath("census.exe").is_file(), "census.exe in the data folder")
        wine.run(data / "uninstall.exe", "/S")
        check_data_kept(data, own, "the uninstaller took its own files and nothing else")

        print("a Path longer than the installer's strings", flush=True)
        long_path = ";".join(rf"C:\tools\kit-{n:03}" for n in range(120))
        wine.set_user_path(long_path)
        status = wine.run(setup, "/S").returncode
        check(status == 3, f"the installer says with status 3 that the Path is left: {status}")
        check(wine.user_path() == ("REG_EXPAND_SZ", long_path), "a long Path is left whole")
        check(wine.installed.joinpath("census.exe").is_file(), "census is installed all the same")
        status = wine.run(wine.installed / "uninstall.exe", "/S",
                          "_?=" + wine.install_folder).returncode
        check(status == 3, f"the uninstaller says with status 3 that the Path is left: {status}")
        check(wine.user_path() == ("REG_EXPAND_SZ", long_path), "a long Path is left whole")
        check(wine.registry_values(UNINSTALL_KEY) is None, "the uninstall key is gone")


# ---------------------------------------------------------------- files


def test_version(exe, version):
    import pefile

    pe = pefile.PE(exe)
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [int(n) for n in version.split(".")] + [0]
    packed = ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])
    check((fixed.FileVersionMS, fixed.FileVersionLS) == packed, f"{exe}: fixed FileVersion")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == packed, f"{exe}: fixed ProductVersion")
    strings = {}
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    check(strings.get("FileVersion") == version, f"{exe}: FileVersion {strings.get('FileVersion')}")
    check(strings.get("ProductVersion") == version,
          f"{exe}: ProductVersion {strings.get('ProductVersion')}")
    for name in ["ProductName", "FileDescription", "LegalCopyright"]:
        check(bool(strings.get(name)), f"{exe}: {name} is given")
    icons = [entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries
             if entry.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]]
    check(len(icons) == 1, f"{exe}: an icon")
    if exe.endswith("census.exe"):
        manifests = [entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries
                     if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]]
        check(len(manifests) == 1, f"{exe}: an application manifest")
        data = manifests[0].directory.entries[0].directory.entries[0].data.struct if manifests else None
        text = pe.get_data(data.OffsetToData, data.Size).decode("utf-8") if data else ""
        for words in ["<longPathAware", ">true</longPathAware>", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
                      'level="asInvoker"', ">UTF-8</activeCodePage>"]:
            check(words in text, f"{exe}: the manifest says {words}")


BOM = b"\xef\xbb\xbf"
# What a README for Windows users never holds: Markdown's tables, fences
# and images, Debian's steps, POSIX commands, a file by a name it is not
# shipped under, or a value left unfilled.
NOT_FOR_WINDOWS = {
    "a Markdown table": r"^[ \t]*\|.*\|",
    "a Markdown fence": r"^```",
    "a picture": r"\.(png|svg)\b",
    "Debian's steps": r"\b(apt|apt-get|dpkg|sudo|make)\b",
    "cp": r"^[ \t]*cp\b",
    "man": r"\bman census\b",
    "the licence as LICENSE": r"\bLICENSE\b(?!\.txt)",
    "a .md file": r"\.md\b",
    "a value left unfilled": r"@[A-Z_]+@",
    "a placeholder address to report to": r"@example\.(org|com|net)",
}
# What the manual, written for Windows users, never holds: Unix signals,
# paths, pages and commands, or tabs. The changelog tells of both
# platforms, in plain text.
MARKDOWN = {
    "a Markdown heading": r"^#",
    "a backtick": r"`",
    "a Markdown link": r"\]\(",
    "emphasis marks": r"\*\*",
}
UNIX_TERMS = {
    "a signal": r"\bSIG[A-Z]+\b",
    "a Unix path": r"(\$XDG_|~/|/dev/|/proc/|/home/|/tmp/)",
    "a FIFO": r"\bFIFO\b",
    "a manual page": r"\b[a-z-]+\([1-8]\)|User Commands|\bman census\b",
    "xdg-open": r"xdg-open",
    "Unix's stop keys": r"Ctrl-C",
    "a shell prompt": r"^\s*\$ ",
    "rm": r"^\s*>?\s*rm\b",
    "a tab": r"\t",
}
# What the README tells: every Start-menu entry, the data folder, the help.
README_TELLS = ["census in the browser", "census manual", "Uninstall census",
                r"Documents\census", "census --help", "LICENSE.txt", "copy "]


def check_windows_text(name, content, tells):
    check(content.startswith(BOM), f"{name} starts with a UTF-8 byte order mark")
    text = content[len(BOM):].decode("utf-8", "replace").replace("\r\n", "\n")
    for what, pattern in NOT_FOR_WINDOWS.items():
        found = re.search(pattern, text, re.MULTILINE)
        check(not found, f"{name} holds no {what}: {found and found.group(0)!r}")
    for words in tells:
        check(words in text, f"{name} tells of {words!r}")


def check_free_of(name, content, patterns):
    text = content[len(BOM):].decode("utf-8", "replace").replace("\r\n", "\n")
    for what, pattern in patterns.items():
        found = re.search(pattern, text, re.MULTILINE)
        check(not found, f"{name} holds no {what}: {found and found.group(0)!r}")


def test_zip(path):
    with zipfile.ZipFile(path) as archive:
        folder = pathlib.PurePosixPath(archive.namelist()[0]).parts[0]
        files = {name[len(folder) + 1:]: name for name in archive.namelist()
                 if not name.endswith("/")}
        check(sorted(files) == sorted(PROGRAM_FILES), f"the zip holds {sorted(files)}")
        for name, member in files.items():
            if name.endswith(TEXT_SUFFIXES):
                check(has_crlf_lines(archive.read(member)), f"{name} has CR LF line ends")
        check(archive.read(files["census.exe"])[:2] == b"MZ", "census.exe is a Windows program")
        check(not archive.read(files["examples/cens-stat.dat"]).startswith(BOM),
              "the example grid has no byte order mark")
        check_windows_text("README.txt", archive.read(files["README.txt"]), README_TELLS)
        check_windows_text("examples/README.txt", archive.read(files["examples/README.txt"]),
                           ["copy "])
        manual = archive.read(files["census-manual.txt"])
        check_windows_text("census-manual.txt", manual, ["Ctrl+C", "census serve"])
        check_free_of("census-manual.txt", manual, UNIX_TERMS)
        changelog = archive.read(files["CHANGELOG.txt"])
        check(changelog.startswith(BOM), "CHANGELOG.txt starts with a UTF-8 byte order mark")
        check_free_of("CHANGELOG.txt", changelog, MARKDOWN)


TESTS = {"installer": test_installer, "version": test_version, "zip": test_zip}

if __name__ == "__main__":
    test = TESTS.get(sys.argv[1]) if len(sys.argv) > 1 else None
    if not test or len(sys.argv) - 2 != len(inspect.signature(test).parameters):
        sys.exit(__doc__)
    test(*sys.argv[2:])
    sys.exit(1 if failures else 0)
