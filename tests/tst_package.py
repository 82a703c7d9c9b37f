#!/usr/bin/python3
"""The Debian package of a unit, built with cpack from this build tree: exactly the expected
files, runtime dependencies that cover what the program loads and nothing of the build, sound
maintainer scripts, and a service unit that systemd-analyze verify accepts.

Usage: tst_package.py <build dir> <source dir>"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

BUILD = Path(sys.argv[1]).resolve()
SOURCE = Path(sys.argv[2]).resolve()
QT_LIB = Path("/usr/lib/x86_64-linux-gnu")
QML_ROOT = QT_LIB / "qt5/qml"
PLUGINS = QT_LIB / "qt5/plugins"

# path -> mode; a directory entry is not listed.
EXPECTED_FILES = {
    "/etc/default/pernix": "-rw-r--r--",
    "/lib/systemd/system/pernix.service": "-rw-r--r--",
    "/opt/velt/pernix/Invalid.wav": "-rw-r--r--",
    "/opt/velt/pernix/Valid.wav": "-rw-r--r--",
    "/usr/bin/pernix": "-rwxr-xr-x",
    "/usr/sbin/pernix-fleet-bridge": "-rwxr-xr-x",
    "/usr/share/doc/pernix/README.md": "-rw-r--r--",
    "/usr/share/doc/pernix/contract/asyncapi.yaml": "-rw-r--r--",
    "/usr/share/doc/pernix/examples/central.conf.example": "-rw-r--r--",
    "/usr/share/doc/pernix/examples/fleet-bridge.conf.example": "-rw-r--r--",
    "/usr/share/pernix/gui.conf.sample": "-rw-r--r--",
}

# What the program needs beside its linked libraries and QML modules: the package scripts'
# adduser, the unit's broker, timedatectl, the on-screen keyboard's input method (chosen in
# main()) and the image plugin of the SVG icons.
EXTRA_RUNTIME = {"adduser", "mosquitto", "systemd"}
BUILD_ONLY = re.compile(r"(-dev|-dev-tools|-doc)$|^(cmake|g\+\+|gcc|clang.*|make|pkg-config|"
                        r"qt.*-dev.*|xvfb|xdotool|zbar-tools|python3.*)$")


def run(*command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def owner(path):
    """The Debian package that installed a file of this machine (under /lib or /usr/lib: the
    package may name either since /lib is a link to /usr/lib)."""
    path = str(path)
    alias = path[4:] if path.startswith("/usr/lib/") else "/usr" + path
    for candidate in (path, alias):
        result = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
        if result.returncode == 0:
            return result.stdout.split(":")[0]
    raise AssertionError(f"no package of this machine holds {path}")


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(tempfile.mkdtemp(prefix="tst_package."))
        run("cpack", "-G", "DEB", "-B", str(cls.tmp), "--config", str(BUILD / "CPackConfig.cmake"),
            cwd=BUILD)
        debs = list(cls.tmp.glob("pernix_*.deb"))
        assert len(debs) == 1, debs
        cls.deb = debs[0]
        cls.root = cls.tmp / "root"
        run("dpkg-deb", "-x", str(cls.deb), str(cls.root))
        cls.control = cls.tmp / "control"
        run("dpkg-deb", "-e", str(cls.deb), str(cls.control))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def field(self, name):
        return run("dpkg-deb", "-f", str(self.deb), name).strip()

    def depends(self):
        """Each dependency as the list of its alternatives' names, versions left out."""
        return [[re.sub(r"\s*\(.*\)", "", alt).strip() for alt in dep.split("|")]
                for dep in self.field("Depends").split(",")]

    def test_files(self):
        listed = {}
        for line in run("dpkg-deb", "-c", str(self.deb)).splitlines():
            fields = line.split()
            mode, ownership, path = fields[0], fields[1], fields[-1].lstrip(".")
            if mode.startswith("d"):
                continue
            self.assertEqual(ownership, "root/root", path)
            listed[path] = mode
        self.assertEqual(listed, EXPECTED_FILES)
        # Installed stripped: the debugging symbols stay in the build tree.
        self.assertNotIn("with debug_info", run("file", str(self.root / "usr/bin/pernix")))
        self.assertEqual((self.control / "conffiles").read_text().split(), ["/etc/default/pernix"])
        for sound in ("Valid.wav", "Invalid.wav"):
            self.assertIn("WAVE audio", run("file", str(self.root / "opt/velt/pernix" / sound)))

    def test_dependencies_cover_what_the_program_loads(self):
        names = {alt for dep in self.depends() for alt in dep}
        # Linked libraries.
        needed = set()
        for line in run("objdump", "-p", str(BUILD / "pernix")).splitlines():
            if line.split()[:1] == ["NEEDED"]:
                library = line.split()[1]
                path = re.search(r"=> (\S+)", run("sh", "-c", f"ldd {BUILD}/pernix | grep -F '{library} '"))
                needed.add(owner(Path(path.group(1)).resolve()))
        # QML modules, from the screens' imports (the program's own types are not packaged).
        for qml in (SOURCE / "qml").rglob("*.qml"):
            for module, major in re.findall(r"^import\s+([A-Za-z.]+)\s+(\d+)", qml.read_text(), re.M):
                if not module.startswith("com.velt"):
                    needed.add(owner(self.module_dir(module, major)))
        # Plugins loaded by name: the keyboard's input method, the SVG image format, the displays.
        needed.add(owner(PLUGINS / "platforminputcontexts/libqtvirtualkeyboardplugin.so"))
        needed.add(owner(PLUGINS / "imageformats/libqsvg.so"))
        for platform in ("eglfs", "linuxfb"):
            needed.add(owner(PLUGINS / f"platforms/libq{platform}.so"))
        needed |= EXTRA_RUNTIME
        self.assertEqual(sorted(needed - names), [], "needed at run time but not depended on")
        # Nothing more than that: alternatives of a needed package are fine.
        extra = [dep for dep in self.depends() if not set(dep) & needed]
        self.assertEqual(extra, [], "depended on but not needed")
        self.assertEqual(sorted(n for n in names if BUILD_ONLY.search(n)), [])

    @staticmethod
    def module_dir(module, major):
        # Qt installs a module with ".<major>" on a part of its path (QtQuick.2,
        # QtQuick/Controls.2/Material) or, for the first major version, under its plain path;
        # the versioned one comes first (QtQuick/Controls is the older Controls 1).
        parts = module.split(".")
        candidates = [QML_ROOT.joinpath(*parts[:i], parts[i] + "." + major, *parts[i + 1:])
                      for i in range(len(parts))]
        candidates.append(QML_ROOT.joinpath(*parts))
        for candidate in candidates:
            if (candidate / "qmldir").exists():
                return candidate / "qmldir"
        raise AssertionError(f"QML module {module} {major} is not installed here")

    def test_maintainer_scripts(self):
        for script in ("postinst", "prerm", "postrm"):
            path = self.control / script
            self.assertTrue(os.access(path, os.X_OK), script)
            run("sh", "-n", str(path))
        # No build path leaks into what a unit runs.
        for path in list(self.root.rglob("*")) + list(self.control.iterdir()):
            if path.is_file() and path.suffix not in (".wav",) and path.name != "pernix":
                self.assertNotIn(str(BUILD), path.read_text(errors="replace"), path)

    def test_service_unit_verifies(self):
        # verify needs the units the service names (targets, the broker) and its program inside
        # the root it looks in: the package's files over this machine's units.
        shutil.copytree("/lib/systemd/system", self.root / "lib/systemd/system", dirs_exist_ok=True,
                        symlinks=True)
        result = subprocess.run(["systemd-analyze", "verify", f"--root={self.root}",
                                 "/lib/systemd/system/pernix.service"],
                                capture_output=True, text=True)
        # Warnings (an unknown key, a value it ignores) leave the exit code at 0: any output fails.
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
