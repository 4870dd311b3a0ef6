"""Helpers of the Wine test scripts: the shared prefix of the run (made by
wine_env.sh), Windows paths, `wine reg query` and the plug-in stepper."""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WIN_BIN = os.environ.get("ZEDUZ_WIN_BIN_DIR", "")
NATIVE_BIN = os.environ.get("ZEDUZ_BIN_DIR", "")
# The exit status of a test that cannot run on this machine (ctest: skipped).
SKIPPED = 77


def _wine_environment():
    env = dict(os.environ)
    # Tests of one ctest run share one prefix: the run is ctest, our parent.
    env.setdefault("ZEDUZ_WINE_RUN_KEY", str(os.getppid()))
    with tempfile.TemporaryFile("w+") as printed:
        result = subprocess.run(["bash", os.path.join(HERE, "wine_env.sh"), "--print-env"], env=env,
                                stdin=subprocess.DEVNULL, stdout=printed)
        printed.seek(0)
        lines = printed.read().splitlines()
    if result.returncode == SKIPPED:
        print("\n".join(lines))
        sys.exit(SKIPPED)
    if result.returncode != 0:
        sys.exit("wine_env.sh --print-env failed with exit status %d" % result.returncode)
    for line in lines:
        name, _, value = line.partition("=")
        env[name] = value
    env.pop("DISPLAY", None)
    return env


WINE_ENV = _wine_environment()
WINE_ROOT = os.path.dirname(WINE_ENV["WINEPREFIX"])


def work_directory(name):
    """A private directory beside the prefix (Wine sees it as Z:\\...)."""
    return tempfile.mkdtemp(prefix=name + ".", dir=WINE_ROOT)


def wine(*args, check=False):
    """Runs a Wine program; returns the CompletedProcess with its output as
    text. The output goes through files, not pipes: Wine's service processes
    inherit the descriptors and would hold a pipe open long after the program
    ended."""
    with tempfile.TemporaryFile("w+b") as out, tempfile.TemporaryFile("w+b") as err:
        result = subprocess.run(["wine", *args], env=WINE_ENV, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                check=check)
        out.seek(0)
        err.seek(0)
        result.stdout = out.read().decode("latin-1").replace("\r", "")
        result.stderr = err.read().decode("latin-1").replace("\r", "")
    return result


def win_path(path):
    """The Windows path of a Linux path: Wine's drive Z: is the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unix_path(path):
    """The Linux path of a path on Wine's drive Z:."""
    if not path.upper().startswith("Z:"):
        raise ValueError("not on drive Z: " + path)
    return path[2:].replace("\\", "/")


def plugin_values(host_key):
    """The plug-in's registry values below HKCU\\<host_key>\\ZEDUZ-ORID as
    `wine reg query` shows them: {name: (type, data)}; {} when the key is
    missing."""
    result = wine("reg", "query", "HKCU\\%s\\ZEDUZ-ORID" % host_key)
    values = {}
    if result.returncode != 0:
        return values
    for line in result.stdout.splitlines():
        words = line.split()
        kinds = [i for i, word in enumerate(words) if word.startswith("REG_")]
        if not kinds or not line.startswith(" "):
            continue
        i = kinds[0]
        name = " ".join(words[:i])
        data = " ".join(words[i + 1:])
        values[name] = (words[i], int(data, 16) if words[i] == "REG_DWORD" else data)
    return values


def delete_key(host_key):
    wine("reg", "delete", "HKCU\\" + host_key, "/f")


class Stepper:
    """plugin_stepper.exe under Wine: one request line in, one answer out."""

    def __init__(self, host_key, output_path, temp_dir):
        dll = win_path(os.path.join(WIN_BIN, "ZeduzTiff.dll"))
        self.process = subprocess.Popen(
            ["wine", os.path.join(WIN_BIN, "plugin_stepper.exe"), dll, host_key, output_path, temp_dir],
            env=WINE_ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def ask(self, request):
        self.process.stdin.write(request + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise RuntimeError("the stepper ended at %r" % request)
        return answer.strip()

    def command(self, request):
        answer = self.ask(request)
        verb, _, status = answer.partition(" ")
        if verb != "status":
            raise RuntimeError("%r answered %r" % (request, answer))
        return int(status)

    def temp_files(self):
        return self.ask("tempfiles").split()[1:]

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.write("quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=60)


class Checks:
    """Collects check results and prints them the way the other tests do."""

    def __init__(self):
        self.failures = 0

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures += 1
        return ok

    def equal(self, actual, expected, what):
        return self.check(actual == expected, "%s (%r%s)" % (what, actual, "" if actual == expected
                                                             else ", expected %r" % (expected,)))

    def finish(self):
        print("%d failed" % self.failures, flush=True)
        sys.exit(1 if self.failures else 0)
