"""The packages CPack makes: the Debian package of the Release build
(ZEDUZ_PACKAGE_BUILD_DIR) holds exactly the install tree under /usr, depends
on the packages of the libraries its binaries link (dpkg-shlibdeps), and
lintian reports no error (skipped, saying so, where lintian is not
installed); the zip of each Windows build holds the two DLLs, the host and
the README side by side, each binary of the right machine type and with
the build's version in its version resource."""

import os
import shutil
import struct
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "host"))
sys.path.insert(0, HERE)
from host_check import run_cases  # noqa: E402
from package_layout import BUILD_DIR, EXPECTED_TREE, LIBDIR, VERSION  # noqa: E402
WINDOWS_BUILDS = {"win32": (os.environ.get("ZEDUZ_WINDOWS_BUILD_DIR", ""), 0x014C),
                  "win64": (os.environ.get("ZEDUZ_WINDOWS64_BUILD_DIR", ""), 0x8664)}
# What every binary links and the Debian package that provides it (Debian 12).
LINKED_PACKAGES = {"libc6", "libstdc++6", "libgcc-s1", "libsane1", "libpng16-16", "libsqlite3-0", "zlib1g",
                   "libjpeg62-turbo"}
WINDOWS_FILES = {"ZeduzTiff.dll": "ZeduzTiff.dll", "Vizazira.dll": "Vizazira.dll",
                 "zeduz-tiff.exe": "zeduz-tiff.exe", "ZeduzTiff-README.txt": None}


def cpack(generator, build_dir, ws):
    """The one package of `generator` made from `build_dir`, in the workspace."""
    out = os.path.join(ws.root, "packages-" + generator)
    subprocess.run(["cpack", "-G", generator, "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", out],
                   check=True, capture_output=True)
    made = [name for name in os.listdir(out) if name.endswith("." + generator.lower())]
    assert len(made) == 1, made
    return os.path.join(out, made[0])


def debian_package(ws):
    deb = cpack("DEB", BUILD_DIR, ws)
    listing = subprocess.run(["dpkg-deb", "--contents", deb], check=True, capture_output=True, text=True).stdout
    files = {}
    for line in listing.splitlines():
        mode, _, _, _, _, path = line.split(None, 5)
        if not mode.startswith("d"):
            files[path] = mode
    expected = {"./usr/" + path: mode for path, mode in EXPECTED_TREE.items()}
    assert set(files) == set(expected), "package files:\n  got      %s\n  expected %s" % (sorted(files),
                                                                                        sorted(expected))
    executable = {path for path, mode in files.items() if "x" in mode}
    assert executable == {"./usr/bin/zeduz-tiff"}, executable
    fields = {name: subprocess.run(["dpkg-deb", "--field", deb, name], check=True, capture_output=True,
                                   text=True).stdout.strip() for name in ("Package", "Version", "Depends")}
    assert fields["Package"] == "zeduz-tiff" and fields["Version"] == VERSION, fields
    depends = {part.split()[0] for part in fields["Depends"].split(",")}
    assert LINKED_PACKAGES <= depends, "Depends: %s" % fields["Depends"]
    assert LIBDIR.startswith("lib/x86_64-linux-gnu") or LIBDIR == "lib", LIBDIR
    if not shutil.which("lintian"):
        print("lintian is not installed: the package's lintian check is skipped")
        return
    result = subprocess.run(["lintian", "--fail-on", "error", deb], capture_output=True, text=True)
    print(result.stdout, end="")
    assert result.returncode == 0 and "\nE: " not in "\n" + result.stdout, result.stdout + result.stderr


def version_resource(data):
    """(version, OriginalFilename) of a PE file's version resource: the
    fixed file info after the key L"VS_VERSION_INFO", the string after the
    key L"OriginalFilename"."""
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    start = data.find(key) - 6  # after wLength, wValueLength, wType
    assert start >= 0, "no version resource"
    signature, _, high, low = struct.unpack_from("<4I", data, start + 40)
    assert signature == 0xFEEF04BD, hex(signature)
    version = "%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16)
    name_key = "OriginalFilename\0".encode("utf-16-le")
    at = data.find(name_key, start) + len(name_key)
    at += (-at) % 4  # the value is 32-bit aligned
    end = data.find(b"\0\0", at)
    end += (end - at) % 2
    return version, data[at:end].decode("utf-16-le")


def pe_machine(data):
    header = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[header:header + 4] == b"PE\0\0"
    return struct.unpack_from("<H", data, header + 4)[0]


def windows_zip(flavour):
    def check(ws):
        build_dir, machine = WINDOWS_BUILDS[flavour]
        if not build_dir:
            print("no %s build given: its zip is not checked" % flavour)
            return
        path = cpack("ZIP", build_dir, ws)
        assert os.path.basename(path) == "zeduz-tiff-%s-%s.zip" % (VERSION, flavour), path
        with zipfile.ZipFile(path) as archive:
            assert set(archive.namelist()) == set(WINDOWS_FILES), archive.namelist()
            for name, original in WINDOWS_FILES.items():
                data = archive.read(name)
                if original is None:
                    assert b"ZeduzTiff.dll" in data
                    continue
                assert pe_machine(data) == machine, (name, hex(pe_machine(data)))
                assert version_resource(data) == (VERSION, original), (name, version_resource(data))
    return check


CASES = [
    ("Debian package", debian_package),
    ("Windows zip, 32-bit", windows_zip("win32")),
    ("Windows zip, x86-64", windows_zip("win64")),
]

if __name__ == "__main__":
    run_cases(CASES)
