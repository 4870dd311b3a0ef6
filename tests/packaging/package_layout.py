"""What the install and package tests share: the Release build they install
and package, its version, and the files an install of it holds."""

import os

BUILD_DIR = os.environ["ZEDUZ_PACKAGE_BUILD_DIR"]
VERSION = os.environ["ZEDUZ_VERSION"]


def cache_value(name):
    with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise AssertionError("%s is not in the build's cache" % name)


LIBDIR = cache_value("CMAKE_INSTALL_LIBDIR")

# Every file of an install, below its prefix, and its permission bits.
EXPECTED_TREE = {
    "bin/zeduz-tiff": 0o755,
    LIBDIR + "/zeduz/libzeduztiff.so": 0o644,
    LIBDIR + "/zeduz/Vizazira.so": 0o644,
    LIBDIR + "/pkgconfig/zeduztiff.pc": 0o644,
    "include/zeduztiff/host_records.h": 0o644,
    "include/zeduztiff/zeduztiff.h": 0o644,
    "share/man/man1/zeduz-tiff.1.gz": 0o644,
    "share/bash-completion/completions/zeduz-tiff": 0o644,
    "share/doc/zeduz-tiff/copyright": 0o644,
    "share/doc/zeduz-tiff/changelog.gz": 0o644,
    "share/lintian/overrides/zeduz-tiff": 0o644,
}
