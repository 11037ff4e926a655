#!/usr/bin/env python3
"""The release as people and package managers get it, signed with a certificate made here.

    release_test.py build EXE OUT KEYS   tools/package --sign into OUT (which install_pkgtest then
                                         installs); checks signatures, SHA256SUMS and the manifest
    release_test.py signing OUT KEYS     a wrong password changes nothing in OUT; the uninstaller
                                         the signed setup writes is signed too (installed under
                                         Wine in a prefix of its own, KEYS/wineprefix)

KEYS holds the test CA and the signing certificate (openssl, made anew by "build").
"""
import glob
import hashlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import zipfile

import yaml

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
VERSION = open(os.path.join(ROOT, "VERSION")).readline().strip()
SETUP = f"ParlixDesk-{VERSION}-setup.exe"
ZIP = f"ParlixDesk-{VERSION}-portable.zip"
PASSWORD = "test-password"
URL_BASE = f"http://127.0.0.1/releases/{VERSION}"
# Generous: a signed package run takes a few seconds, a fresh prefix about ten.
PACKAGE_TIMEOUT_S = 120
INSTALL_TIMEOUT_S = 240


def run(args, env_extra=None, timeout=PACKAGE_TIMEOUT_S):
    """Runs args; at the limit the whole process group goes, so no Wine process left behind
    keeps the output open."""
    env = dict(os.environ, **(env_extra or {}))
    with subprocess.Popen(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          start_new_session=True) as process:
        try:
            out, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            out, err = process.communicate()
            err += f"\n(ended after {timeout} s)"
        return subprocess.CompletedProcess(args, process.returncode, out, err)


def make_keys(keys):
    """A CA and a code-signing certificate it issued, as a password-protected PKCS#12 file."""
    shutil.rmtree(keys, ignore_errors=True)
    os.makedirs(keys)
    ca_key, ca, key, csr, cert = (os.path.join(keys, n) for n in ("ca.key", "ca.pem", "signer.key", "signer.csr", "signer.pem"))
    ext = os.path.join(keys, "signer.ext")
    with open(ext, "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    for args in (
        ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca, "-days", "2",
         "-subj", "/CN=Parlix Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,keyCertSign,cRLSign"],
        ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=Parlix Test Signer"],
        ["x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial", "-out", cert, "-days", "2",
         "-extfile", ext],
        ["pkcs12", "-export", "-out", os.path.join(keys, "signer.pfx"), "-inkey", key, "-in", cert,
         "-certfile", ca, "-passout", "env:PARLIX_SIGN_PASSWORD"],
    ):
        done = run(["openssl", *args], {"PARLIX_SIGN_PASSWORD": PASSWORD})
        if done.returncode != 0:
            sys.exit(f"openssl {args[0]} failed: {done.stderr}")


def package(exe, out, keys, password=PASSWORD):
    return run([os.path.join(ROOT, "tools", "package"), "--exe", exe, "--out", out,
                "--sign", os.path.join(keys, "signer.pfx"), "--url", URL_BASE],
               {"PARLIX_SIGN_PASSWORD": password})


def verify(path, ca_file):
    return run(["osslsigncode", "verify", "-CAfile", ca_file, "-in", path])


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def folder_digest(folder):
    """Every file under folder with its hash, leaving out the Wine prefix tools/package-test
    keeps there (its drive links reach the whole file system)."""
    found = {}
    for parent, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if d != "wineprefix"]
        for name in files:
            path = os.path.join(parent, name)
            found[os.path.relpath(path, folder)] = sha256(path)
    return found


class Built(unittest.TestCase):
    """The signed release tools/package made in OUT."""
    out = keys = ""

    def test_all_signed_by_the_test_ca_and_nothing_else(self):
        ca = os.path.join(self.keys, "ca.pem")
        with tempfile.TemporaryDirectory() as unpacked:
            with zipfile.ZipFile(os.path.join(self.out, ZIP)) as z:
                self.assertEqual(z.namelist(), ["parlix.exe", "README.txt"])
                z.extractall(unpacked)
            for path in (os.path.join(unpacked, "parlix.exe"), os.path.join(self.out, SETUP)):
                done = verify(path, ca)
                self.assertEqual(done.returncode, 0, f"{path}: {done.stdout}{done.stderr}")
                self.assertIn("Parlix Test Signer", done.stdout)
                # Against the machine's own authorities the test signer is unknown: the check
                # above really looked at the chain.
                self.assertNotEqual(verify(path, "/etc/ssl/certs/ca-certificates.crt").returncode, 0, path)

    def test_checksums_cover_every_file_and_verify(self):
        with open(os.path.join(self.out, "SHA256SUMS")) as f:
            listed = sorted(line.split("  ", 1)[1].rstrip("\n") for line in f)
        made = sorted(p for p in folder_digest(self.out) if p != "SHA256SUMS")
        self.assertEqual(listed, made)
        done = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=self.out, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_manifest_describes_the_setup_beside_it(self):
        folder = os.path.join(self.out, "winget", VERSION)
        docs = {}
        for path in sorted(glob.glob(os.path.join(folder, "*.yaml"))):
            with open(path) as f:
                doc = yaml.safe_load(f)
            docs[doc["ManifestType"]] = doc
            self.assertEqual(doc["PackageIdentifier"], "ParlixSoft.ParlixDesk", path)
            self.assertEqual(doc["PackageVersion"], VERSION, path)
            self.assertEqual(doc["ManifestVersion"], "1.10.0", path)
            self.assertEqual(os.path.basename(path).split(".")[:2], ["ParlixSoft", "ParlixDesk"])
        self.assertEqual(sorted(docs), ["defaultLocale", "installer", "version"])
        self.assertEqual(docs["version"]["DefaultLocale"], docs["defaultLocale"]["PackageLocale"])
        installer = docs["installer"]
        self.assertEqual((installer["InstallerType"], installer["Scope"]), ("nullsoft", "user"))
        self.assertEqual(installer["InstallerSwitches"], {"Silent": "/S", "SilentWithProgress": "/S"})
        # The uninstall entry's name, as installer/parlix.nsi writes it.
        with open(os.path.join(ROOT, "installer", "parlix.nsi")) as f:
            self.assertIn('"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\' + installer["ProductCode"] + '"', f.read())
        [entry] = installer["Installers"]
        self.assertEqual(entry["Architecture"], "x64")
        self.assertEqual(entry["InstallerUrl"], f"{URL_BASE}/{SETUP}")
        self.assertEqual(entry["InstallerSha256"], sha256(os.path.join(self.out, SETUP)).upper())
        locale = docs["defaultLocale"]
        for field in ("Publisher", "PackageName", "License", "ShortDescription"):
            self.assertTrue(locale.get(field), field)
        self.assertEqual((locale["Publisher"], locale["PackageName"]), ("ParlixSoft", "Parlix Desk"))


class Signing(unittest.TestCase):
    out = keys = ""

    def test_wrong_password_stops_in_one_line_and_changes_nothing(self):
        before = folder_digest(self.out)
        done = package(os.path.join(self.keys, "parlix.exe"), self.out, self.keys, password="not-it")
        self.assertNotEqual(done.returncode, 0)
        self.assertEqual(len(done.stderr.strip().splitlines()), 1, done.stderr)
        self.assertIn("password", done.stderr)
        self.assertEqual(folder_digest(self.out), before)

    def test_setup_writes_a_signed_uninstaller(self):
        # A folder of its own for tools/package-test, whose prefix lives beside the packages:
        # install_pkgtest uses OUT's at the same time.
        there = os.path.join(self.keys, "install")
        os.makedirs(there, exist_ok=True)
        for name in (SETUP, ZIP):
            shutil.copyfile(os.path.join(self.out, name), os.path.join(there, name))
        done = run([os.path.join(ROOT, "tools", "package-test"), "--dir", there, "--",
                    os.path.join(there, SETUP), "/S", "/D=C:\\SignedParlix"], timeout=INSTALL_TIMEOUT_S)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        folder = os.path.join(there, "wineprefix", "drive_c", "SignedParlix")
        self.assertEqual(sha256(os.path.join(folder, "parlix.exe")),
                         sha256(self.unpacked_exe(os.path.join(there, ZIP), there)))
        done = verify(os.path.join(folder, "uninstall.exe"), os.path.join(self.keys, "ca.pem"))
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    @staticmethod
    def unpacked_exe(zip_path, folder):
        with zipfile.ZipFile(zip_path) as z:
            return z.extract("parlix.exe", os.path.join(folder, "unpacked"))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "build":
        exe, out, keys = (os.path.abspath(a) for a in sys.argv[2:])
        make_keys(keys)
        # What an earlier run left (another version's files) is no part of this release; the
        # prefix is tools/package-test's to remove.
        for name in os.listdir(out) if os.path.isdir(out) else []:
            if name != "wineprefix":
                path = os.path.join(out, name)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        # Kept for the signing test's own package runs.
        shutil.copyfile(exe, os.path.join(keys, "parlix.exe"))
        done = package(exe, out, keys)
        print(done.stdout + done.stderr, end="")
        if done.returncode != 0:
            sys.exit("tools/package --sign failed")
        case = Built
    elif len(sys.argv) == 4 and sys.argv[1] == "signing":
        out, keys = (os.path.abspath(a) for a in sys.argv[2:])
        case = Signing
    else:
        sys.exit(__doc__)
    case.out, case.keys = out, keys
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
