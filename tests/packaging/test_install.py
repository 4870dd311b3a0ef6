"""The install tree of the Release build (ZEDUZ_PACKAGE_BUILD_DIR), installed
into a scratch prefix with `cmake --install --prefix`: exactly the files it
should hold; the installed host finds the installed plug-in without
LD_LIBRARY_PATH, also once the prefix is moved, and writes pages every
reader decodes exactly; a scanning application built through the pkg-config
file (packaging/example_host.c, as C, the headers also as C++) loads the
plug-in and writes a page; the man page is the one of the installed
program, without roff warnings, and names only real options; the bash
completion offers the options of --help, values the host accepts, images,
and after --scan the devices of --list-scanners."""

import gzip
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "host"))
sys.path.insert(0, HERE)
from host_check import Page, check_output, pnm_bytes, random_page, run_cases  # noqa: E402
from package_layout import BUILD_DIR, EXPECTED_TREE, LIBDIR, VERSION  # noqa: E402

SOURCE_DIR = os.environ["ZEDUZ_SOURCE_DIR"]
RNG = random.Random(24)
ROOT = tempfile.mkdtemp(prefix="zeduz-install-")
PREFIX = os.path.join(ROOT, "prefix")
subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", PREFIX], check=True, stdout=subprocess.DEVNULL)
HOST = os.path.join(PREFIX, "bin", "zeduz-tiff")
PLUGIN_DIR = os.path.join(PREFIX, LIBDIR, "zeduz")
COMPLETION = os.path.join(PREFIX, "share", "bash-completion", "completions", "zeduz-tiff")


def clean_env(ws, **extra):
    """The environment of a user's run: no library path, the workspace's
    registry and temp folder."""
    env = {k: v for k, v in os.environ.items() if k not in ("LD_LIBRARY_PATH", "LD_PRELOAD")}
    env.update(ZEDUZ_REGISTRY_DIR=ws.registry, TMPDIR=ws.tmp, **extra)
    return env


def run(ws, args, **extra):
    return subprocess.run(args, cwd=ws.work, env=clean_env(ws, **extra), capture_output=True, text=True,
                          timeout=120)


def help_entries(host):
    """(names, value) of every option of --help: (["-o", "--output"], "FILE")."""
    entries = []
    for line in subprocess.run([host, "--help"], check=True, capture_output=True, text=True).stdout.splitlines():
        match = re.match(r"^  (-\S+)(?: (\S+))?", line)
        if match:
            entries.append((match.group(1).split(","), match.group(2)))
    return entries


def help_options(host):
    return {name for names, _ in help_entries(host) for name in names}


def install_tree(ws):
    found = {}
    for folder, _, files in os.walk(PREFIX):
        for name in files:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, PREFIX)] = os.stat(path).st_mode & 0o777
    assert found == EXPECTED_TREE, "install tree:\n  got      %s\n  expected %s" % (sorted(found.items()),
                                                                                   sorted(EXPECTED_TREE.items()))


def installed_host_runs(ws):
    """The installed host, moved with its prefix, finds the plug-in of that
    prefix by itself; both report the build's version."""
    moved = os.path.join(ROOT, "moved")
    shutil.copytree(PREFIX, moved, symlinks=True)
    for prefix in (PREFIX, moved):
        result = run(ws, [os.path.join(prefix, "bin", "zeduz-tiff"), "--version"])
        plugin = os.path.join(prefix, LIBDIR, "zeduz", "libzeduztiff.so")
        expected = "zeduz-tiff %s\nplug-in %s (%s)\n" % (VERSION, VERSION, plugin)
        assert result.returncode == 0 and result.stdout == expected, (result.stdout, result.stderr)
    shutil.rmtree(moved)
    pages = [random_page(RNG, "rgb", 8, 13, 7), random_page(RNG, "bilevel", 1, 21, 5)]
    images = [ws.write("a.ppm", pnm_bytes(pages[0])), ws.write("b.pbm", pnm_bytes(pages[1]))]
    result = run(ws, [HOST, "-q", "--group4", "-o", "doc.tif"] + images)
    assert result.returncode == 0, result.stderr
    check_output(ws, ws.path("doc.tif"), pages, group4=True)
    result = run(ws, [HOST, "--version", "--plugin", os.path.join(PLUGIN_DIR, "Vizazira.so")])
    assert result.returncode == 2 and "no entry point ZUVadeZoduv" in result.stderr, result.stderr


def pkg_config(*args):
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(PREFIX, LIBDIR, "pkgconfig"))
    return subprocess.run(["pkg-config"] + list(args) + ["zeduztiff"], env=env, check=True, capture_output=True,
                          text=True).stdout.split()


def status_checks():
    """C++ that holds every status of base/status.h equal to the installed
    header's (a status missing there does not compile)."""
    with open(os.path.join(SOURCE_DIR, "base", "status.h")) as header:
        names = re.findall(r"^\s+Status(\w+) = ", header.read(), re.MULTILINE)
    assert len(names) > 10, names
    lines = ["#include <zeduztiff/zeduztiff.h>", '#include "base/status.h"']
    lines += ["static_assert(int(ZeduzStatus%s) == int(Status%s), \"%s\");" % (n, n, n) for n in names]
    return "\n".join(lines) + "\n"


def application_through_pkg_config(ws):
    assert pkg_config("--modversion") == [VERSION]
    plugin = pkg_config("--variable=plugin")[0]
    assert plugin == os.path.join(PLUGIN_DIR, "libzeduztiff.so"), plugin
    cflags, libs = pkg_config("--cflags"), pkg_config("--libs")
    program = ws.path("example_host")
    subprocess.run(["cc", "-std=c11", "-Wall", "-Wextra", "-Werror", "-pedantic",
                    os.path.join(SOURCE_DIR, "packaging", "example_host.c"), "-o", program,
                    '-DZEDUZ_PLUGIN="%s"' % plugin] + cflags + libs, check=True)
    checks = ws.write("statuses.cpp", status_checks().encode())
    subprocess.run(["c++", "-std=c++17", "-Wall", "-Wextra", "-Werror", "-fsyntax-only", "-I", SOURCE_DIR, checks]
                   + cflags, check=True)
    result = run(ws, [program, ws.path("page.tif")])
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("TIFF - Tagged Image File Format: "), result.stdout
    check_output(ws, ws.path("page.tif"), [Page("gray", 8, 16, 4, [x * 16 + y for y in range(4) for x in range(16)])])


def man_page(ws):
    """The installed page is what make_manpage.py makes of the installed
    program's --help, roff finds nothing to warn about, and the hand-written
    sections name only real options."""
    with gzip.open(os.path.join(PREFIX, "share", "man", "man1", "zeduz-tiff.1.gz"), "rt") as page:
        installed = page.read()
    remade = ws.path("zeduz-tiff.1")
    subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "packaging", "make_manpage.py"), HOST,
                    os.path.join(SOURCE_DIR, "packaging", "zeduz-tiff.1.in"), VERSION,
                    os.path.relpath(PLUGIN_DIR, os.path.join(PREFIX, "bin")), remade], check=True)
    assert open(remade).read() == installed, "the installed man page is not that of the installed program"
    warnings = subprocess.run(["groff", "-man", "-ww", "-z", remade], capture_output=True, text=True).stderr
    assert not warnings, warnings
    options = help_options(HOST)
    named = set()
    for line in re.sub(r"\\f[BIRP]", "", installed).replace("\\-", "-").splitlines():
        if "scanimage" not in line:  # its options are its own
            named |= set(re.findall(r"(?<![\w-])--?[A-Za-z][\w-]*", line))
    assert named - options == set(), "options the program lacks: %s" % (named - options)
    assert options - named == set(), "options the page lacks: %s" % (options - named)
    assert "zeduz\\-tiff %s" % VERSION in installed


def complete(ws, *words, env=None):
    """What the completion offers for a command line whose words bash has
    split (the last one is being completed)."""
    script = ('source /usr/share/bash-completion/bash_completion; source "$1"; shift\n'
              'COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}\n'
              'COMP_LINE=${COMP_LINE// :/:}; COMP_LINE=${COMP_LINE//: /:}; COMP_POINT=${#COMP_LINE}\n'
              '_zeduz_tiff "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"\n'
              'printf "%s\\n" "${COMPREPLY[@]}"\n')
    result = subprocess.run(["bash", "-c", script, "bash", COMPLETION, HOST] + list(words), cwd=ws.work,
                            env=env or clean_env(ws), capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stderr
    return sorted(line for line in result.stdout.splitlines() if line)


def accepted(ws, option, value):
    """The host takes `value` for `option` (the command line fails later,
    at an option that does not exist)."""
    result = run(ws, [HOST, option, value, "--no-such-option"])
    return "unknown option --no-such-option" in result.stderr


def bash_completion(ws):
    entries = help_entries(HOST)
    options = sorted({name for names, _ in entries for name in names})
    assert complete(ws, "-") == options, complete(ws, "-")
    assert complete(ws, "--comp") == ["--compression"], complete(ws, "--comp")
    # Every option of the completion is real, and each one with a value is
    # one the completion knows what to offer for.
    with open(COMPLETION) as script:
        code = "\n".join(line.split("#")[0] for line in script)
    named = set(re.findall(r"(?<![\w-])--?[a-z][\w-]*", code)) - {"-n", "-W", "-F", "-t", "-f"}
    assert named <= set(options), "options the program lacks: %s" % (named - set(options))
    with_value = {names[-1] for names, value in entries if value}
    assert with_value <= named, "options whose values the completion ignores: %s" % (with_value - named)
    for option in ("--compression", "--byte-order", "--depth"):
        values = complete(ws, option, "")
        assert values and all(accepted(ws, option, v) for v in values), (option, values)
    for name in ("a.pgm", "b.PNG", "c.ppm", "notes.txt", "out.tif"):
        ws.write(name, b"")
    os.mkdir(ws.path("scans"))
    assert complete(ws, "") == ["a.pgm", "b.PNG", "c.ppm", "scans"]
    assert complete(ws, "-o", "") == ["out.tif", "scans"]
    # The devices of SANE's test backend, whose names hold a colon.
    config = ws.path("sane")
    os.mkdir(config)
    with open(os.path.join(config, "dll.conf"), "w") as f:
        f.write("test\n")
    env = clean_env(ws, SANE_CONFIG_DIR=config)
    listed = subprocess.run([HOST, "--list-scanners"], env=env, capture_output=True, text=True, timeout=60).stdout
    devices = sorted(line.split("\t")[0] for line in listed.splitlines() if "\t" in line)
    assert "test:0" in devices, listed
    assert complete(ws, "--scan", "", env=env) == devices
    assert complete(ws, "--scan", "test", ":", env=env) == [d[len("test:"):] for d in devices]
    assert complete(ws, "--scan", "--bat", env=env) == ["--batch"]


CASES = [
    ("install tree", install_tree),
    ("the installed host, found where it lies, runs", installed_host_runs),
    ("a scanning application through the pkg-config file", application_through_pkg_config),
    ("man page", man_page),
    ("bash completion", bash_completion),
]

if __name__ == "__main__":
    try:
        run_cases(CASES)
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
