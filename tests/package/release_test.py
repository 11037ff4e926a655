#!/usr/bin/env python3
"""The release as users and package managers get it, signed with a CA made here (openssl).
  release_test.py build EXE OUT KEYS  tools/package --sign into OUT (install_pkgtest installs it)
  release_test.py signing OUT KEYS    wrong password; the uninstaller the setup writes is signed
"""
import glob, hashlib, os, shutil, signal, subprocess, sys, unittest, zipfile
import yaml

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
VERSION = open(os.path.join(ROOT, "VERSION")).readline().strip()
SETUP, ZIP = f"ParlixDesk-{VERSION}-setup.exe", f"ParlixDesk-{VERSION}-portable.zip"
PASSWORD = "test-password"
URL_BASE = f"http://127.0.0.1/releases/{VERSION}"
PACKAGE_TIMEOUT_S, INSTALL_TIMEOUT_S = 120, 240  # a package run takes seconds, a fresh prefix ~10 s


def run(args, password=PASSWORD, timeout=PACKAGE_TIMEOUT_S, cwd=None):
    # At the limit the whole group goes, so no Wine process left behind holds the output open.
    with subprocess.Popen(args, env=dict(os.environ, PARLIX_SIGN_PASSWORD=password), cwd=cwd, text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True) as p:
        try:
            out, err = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            out, err = p.communicate()
        return subprocess.CompletedProcess(args, p.returncode, out, err)


def make_keys(keys):
    shutil.rmtree(keys, ignore_errors=True)
    os.makedirs(keys)
    req = f"req -x509 -newkey rsa:2048 -nodes -days 2 -keyout {keys}/KEY.key -out {keys}/KEY.pem -subj /CN=ParlixTestKEY"
    for args in (req.replace("KEY", "CA") + " -addext basicConstraints=critical,CA:TRUE",
                 req.replace("KEY", "Signer") + f" -CA {keys}/CA.pem -CAkey {keys}/CA.key -addext extendedKeyUsage=codeSigning"
                 " -addext basicConstraints=CA:FALSE",
                 f"pkcs12 -export -out {keys}/signer.pfx -inkey {keys}/Signer.key -in {keys}/Signer.pem"
                 " -passout env:PARLIX_SIGN_PASSWORD"):
        done = run(["openssl", *args.split()])
        if done.returncode != 0:
            sys.exit(f"openssl {args}: {done.stderr}")


def package(exe, out, keys, password=PASSWORD):
    return run([f"{ROOT}/tools/package", "--exe", exe, "--out", out, "--sign", f"{keys}/signer.pfx",
                "--url", URL_BASE], password)


def verify(path, ca_file):
    return run(["osslsigncode", "verify", "-CAfile", ca_file, "-in", path])


def sha256(path):
    return hashlib.sha256(open(path, "rb").read()).hexdigest()


def folder_digest(folder):
    """Every file under folder, leaving out the Wine prefix (and its lock) tools/package-test keeps there."""
    found = {}
    for parent, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if d != "wineprefix"]  # its drive z: reaches the whole disk
        found.update({os.path.relpath(os.path.join(parent, n), folder): sha256(os.path.join(parent, n)) for n in files})
    return {path: digest for path, digest in found.items() if not path.startswith("wineprefix")}


def unpacked_exe(zip_path, folder):
    return zipfile.ZipFile(zip_path).extract("parlix.exe", folder)


class Built(unittest.TestCase):
    out = keys = ""

    def test_exe_and_setup_signed_by_the_test_ca(self):
        for path in (unpacked_exe(f"{self.out}/{ZIP}", f"{self.keys}/unpacked"), f"{self.out}/{SETUP}"):
            done = verify(path, f"{self.keys}/CA.pem")
            self.assertEqual(done.returncode, 0, path + done.stdout + done.stderr)
            self.assertIn("ParlixTestSigner", done.stdout)
            # The machine's authorities know no test signer: the check above looked at the chain.
            self.assertNotEqual(verify(path, "/etc/ssl/certs/ca-certificates.crt").returncode, 0, path)

    def test_checksums_cover_every_file_and_verify(self):
        with open(f"{self.out}/SHA256SUMS") as f:
            listed = sorted(line.rstrip("\n").split("  ", 1)[1] for line in f)
        self.assertEqual(listed, sorted(set(folder_digest(self.out)) - {"SHA256SUMS"}))
        done = run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=self.out)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_manifest_describes_the_setup_beside_it(self):
        docs = {d["ManifestType"]: d for d in (yaml.safe_load(open(p)) for p in
                glob.glob(f"{self.out}/winget/{VERSION}/ParlixSoft.ParlixDesk*.yaml"))}
        self.assertEqual(sorted(docs), ["defaultLocale", "installer", "version"])
        self.assertEqual({(d["PackageIdentifier"], d["PackageVersion"], d["ManifestVersion"]) for d in docs.values()},
                         {("ParlixSoft.ParlixDesk", VERSION, "1.10.0")})
        installer, locale = docs["installer"], docs["defaultLocale"]
        self.assertEqual((installer["InstallerType"], installer["Scope"], installer["InstallerSwitches"]["Silent"],
                          docs["version"]["DefaultLocale"], locale["Publisher"], locale["PackageName"]),
                         ("nullsoft", "user", "/S", locale["PackageLocale"], "ParlixSoft", "Parlix Desk"))
        self.assertTrue(locale["License"] and locale["ShortDescription"])
        # The uninstall entry's name, as the setup program writes it.
        self.assertIn('CurrentVersion\\Uninstall\\' + installer["ProductCode"] + '"', open(f"{ROOT}/installer/parlix.nsi").read())
        [entry] = installer["Installers"]
        self.assertEqual((entry["Architecture"], entry["InstallerUrl"], entry["InstallerSha256"]),
                         ("x64", f"{URL_BASE}/{SETUP}", sha256(f"{self.out}/{SETUP}").upper()))


class Signing(unittest.TestCase):
    out = keys = ""

    def test_wrong_password_stops_in_one_line_and_changes_nothing(self):
        before = folder_digest(self.out)
        done = package(f"{self.keys}/parlix.exe", self.out, self.keys, password="not-it")
        self.assertNotEqual(done.returncode, 0)
        self.assertEqual(len(done.stderr.strip().splitlines()), 1, done.stderr)
        self.assertIn("password", done.stderr)
        self.assertEqual(folder_digest(self.out), before)

    def test_setup_writes_a_signed_uninstaller(self):
        # A folder of its own: tools/package-test keeps its prefix beside the packages, and
        # install_pkgtest uses OUT's at the same time.
        there = f"{self.keys}/install"
        os.makedirs(there, exist_ok=True)
        for name in (SETUP, ZIP):
            shutil.copyfile(f"{self.out}/{name}", f"{there}/{name}")
        done = run([f"{ROOT}/tools/package-test", "--dir", there, "--", f"{there}/{SETUP}", "/S", "/D=C:\\Signed"],
                   timeout=INSTALL_TIMEOUT_S)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        folder = f"{there}/wineprefix/drive_c/Signed"
        self.assertEqual(sha256(f"{folder}/parlix.exe"), sha256(unpacked_exe(f"{there}/{ZIP}", f"{there}/unpacked")))
        done = verify(f"{folder}/uninstall.exe", f"{self.keys}/CA.pem")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


def main():
    case = {"build": Built, "signing": Signing}.get(sys.argv[1] if len(sys.argv) > 3 else "") or sys.exit(__doc__)
    case.out, case.keys = map(os.path.abspath, sys.argv[-2:])
    if case is Built:
        make_keys(case.keys)
        shutil.copyfile(sys.argv[2], f"{case.keys}/parlix.exe")  # for the signing test's own package run
        done = package(sys.argv[2], case.out, case.keys)
        print(done.stdout + done.stderr, end="")
        if done.returncode != 0:
            sys.exit("tools/package --sign failed")
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
