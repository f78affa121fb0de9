"""The Debian package of the native server: its contents and lintian's verdict, then a clean
Debian 12 root where it installs with its dependencies, runs, has a unit systemd accepts,
and leaves nothing behind when purged. TAVRIX_DEB names the package."""

import glob
import os
import shutil
import subprocess
import tempfile
import unittest

DEB = os.environ.get("TAVRIX_DEB", "")
SOURCES = "/etc/apt/sources.list.d/debian.sources"
UNIT = "/usr/lib/systemd/user/tavrix-server.service"


def run(command, timeout=600, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout,
                          check=False, **kwargs)


@unittest.skipUnless(os.path.isfile(DEB), "TAVRIX_DEB names no package")
class Contents(unittest.TestCase):
    def test_lintian_finds_no_error(self):
        result = run(["lintian", "--allow-root", DEB])
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [], result.stdout)
        print("\nlintian: " + (result.stdout.strip() or "no tags"))

    def test_files_fields_and_a_stripped_program(self):
        files = run(["dpkg-deb", "--contents", DEB]).stdout
        for path in ("./usr/bin/tavrix-server", "." + UNIT,
                     "./usr/share/man/man1/tavrix-server.1.gz",
                     "./usr/share/doc/tavrix-server/copyright",
                     "./usr/share/doc/tavrix-server/changelog.Debian.gz"):
            self.assertIn(path, files)
        # Nothing switches the unit on for every user.
        self.assertNotIn(".wants", files)
        fields = {name: run(["dpkg-deb", "--field", DEB, name]).stdout.strip()
                  for name in ("Depends", "Recommends")}
        self.assertIn("libx11-6", fields["Depends"])
        self.assertIn("libavahi-client3", fields["Depends"])
        self.assertEqual(fields["Recommends"], "avahi-daemon, zenity")
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        run(["dpkg-deb", "--extract", DEB, folder])
        sections = run(["readelf", "--sections", os.path.join(folder, "usr/bin/tavrix-server")])
        self.assertNotIn(".symtab", sections.stdout)


@unittest.skipUnless(os.path.isfile(DEB), "TAVRIX_DEB names no package")
class CleanDebianRoot(unittest.TestCase):
    """mmdebstrap's apt variant of bookworm, from this machine's own mirror."""

    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            raise unittest.SkipTest("a clean root needs root (chroot and mounts)")
        cls.root = tempfile.mkdtemp(prefix="tavrix-debroot-")
        mirror = SOURCES if os.path.isfile(SOURCES) else "http://deb.debian.org/debian"
        made = run(["mmdebstrap", "--variant=apt", "--quiet", "bookworm", cls.root, mirror],
                   timeout=900)
        if made.returncode != 0:
            shutil.rmtree(cls.root, ignore_errors=True)
            raise unittest.SkipTest("the Debian mirror can't be reached, so no clean root: " +
                                    made.stderr.strip()[-300:])
        shutil.copy(DEB, os.path.join(cls.root, "tmp"))
        cls.package = "/tmp/" + os.path.basename(DEB)
        cls.proc = os.path.join(cls.root, "proc")
        subprocess.run(["mount", "-t", "proc", "proc", cls.proc], check=True, timeout=30)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["umount", "--lazy", cls.proc], check=False, timeout=30)
        shutil.rmtree(cls.root, ignore_errors=True)

    def inside(self, script, timeout=900):
        environment = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LC_ALL": "C",
                       "DEBIAN_FRONTEND": "noninteractive", "HOME": "/root"}
        return run(["chroot", self.root, "sh", "-ec", script], timeout=timeout,
                   env=environment)

    def test_installs_runs_passes_systemd_and_purges_without_a_trace(self):
        installed = self.inside("apt-get update -q && apt-get install -y -q "
                                f"--no-install-recommends {self.package}")
        self.assertEqual(installed.returncode, 0, installed.stdout[-2000:] + installed.stderr)
        pulled = self.inside("dpkg-query -W -f '${Package}\\n' libx11-6 libxtst6 "
                             "libavahi-client3 libglib2.0-0")
        self.assertEqual(pulled.returncode, 0, pulled.stderr)
        # With its recommendations too, everything resolves.
        simulated = self.inside(f"apt-get install -s {self.package}")
        self.assertEqual(simulated.returncode, 0, simulated.stderr)
        version = self.inside("tavrix-server --version")
        self.assertRegex(version.stdout, r"^tavrix-server \d+\.\d+\.\d+\n$", version.stderr)
        owned = self.inside("dpkg -L tavrix-server").stdout.splitlines()
        self.assertIn(UNIT, owned)

        verified = self.inside("apt-get install -y -q --no-install-recommends systemd man-db "
                               ">/dev/null && mkdir -p -m 700 /tmp/runtime && "
                               f"XDG_RUNTIME_DIR=/tmp/runtime systemd-analyze verify --user "
                               f"{UNIT}")
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertEqual(self.inside("ls /etc/systemd/user 2>/dev/null | "
                                     "grep -c wants || true").stdout.strip(), "0")

        purged = self.inside("apt-get purge -y -q tavrix-server")
        self.assertEqual(purged.returncode, 0, purged.stderr)
        left = self.inside("for f in " + " ".join(f"'{p}'" for p in owned if p != "/.") +
                           "; do [ -e \"$f\" ] && [ ! -d \"$f\" ] && echo \"$f\"; done; "
                           "[ -d /usr/share/doc/tavrix-server ] && echo doc folder; true")
        self.assertEqual(left.stdout, "")


if __name__ == "__main__":
    unittest.main()
