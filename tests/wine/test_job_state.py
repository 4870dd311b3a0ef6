"""A job's state under real Windows services (Wine), between any two
commands: the registry values as `wine reg query` shows them, the "~TF"
temporary file in the temp directory, and the share modes with which the
plug-in opens the temporary and the output file, proven by holding the file
open from another handle during a command."""

import os
import shutil
import subprocess

import wine_support as w

checks = w.Checks()
work = w.work_directory("job-state")
temp_dir = os.path.join(work, "temp")
os.mkdir(temp_dir)
output = os.path.join(work, "job.tif")
key = "Software\\ZeduzWineTests\\JobState-%d" % os.getpid()
w.delete_key(key)
stepper = w.Stepper(key, w.win_path(output), w.win_path(temp_dir))

# "Job Owner" names the process running the job; "TempFile Identity" the
# page file as the plug-in made it.
PAGE_VALUES = ["Image Offset", "ImageFormat", "Job Owner", "Page Count"]
BEGUN_VALUES = sorted(PAGE_VALUES + ["Directory Count", "Image Size", "LoopCount", "Next Point", "TempFile",
                                     "TempFile Identity"])


def names():
    return sorted(w.plugin_values(key))


def value(name):
    return w.plugin_values(key).get(name, (None, None))[1]


def run(request, expected_status=0):
    status = stepper.command(request)
    checks.equal(status, expected_status, "%s returns" % request)
    return status


def temp_file_named_in_registry():
    """The "TempFile" value: a "~TF" file directly in the temp directory."""
    temp = value("TempFile")
    if not checks.check(temp is not None, "TempFile names the page's temporary file"):
        return None
    directory, _, name = temp.rpartition("\\")
    checks.equal(w.unix_path(directory + "\\"), temp_dir + "/", "the temporary file lies in the temp directory")
    checks.check(name.upper().startswith("~TF"), "its name begins with ~TF (%s)" % name)
    checks.equal(stepper.temp_files(), [name], "the temp directory lists that file alone")
    return name


def first_page():
    run("init")
    checks.equal(names(), [], "CmdInitialize writes nothing")
    run("prepare gray8 64 20 0")
    checks.equal(names(), PAGE_VALUES, "after CmdPreparePage")
    checks.equal([value(n) for n in ("Image Offset", "ImageFormat", "Page Count")], [8, 2008, 0],
                 "Image Offset, ImageFormat, Page Count")
    checks.equal(stepper.temp_files(), [], "no temporary file before CmdBeginPage")

    run("begin")
    checks.equal(names(), BEGUN_VALUES, "after CmdBeginPage")
    count = value("Directory Count")
    checks.equal(value("Next Point"), 12 * count + 10, "Next Point of a first page is 12 x Directory Count + 10")
    checks.equal([value("LoopCount"), value("Image Size")], [0, 0], "LoopCount and Image Size start at 0")
    temp = temp_file_named_in_registry()
    header = open(os.path.join(temp_dir, temp), "rb").read(8) if temp else b""
    checks.equal(header[:4], b"II*\x00", "the temporary file starts with the TIFF header")

    run("band 12")
    checks.equal(value("LoopCount"), 1, "LoopCount after the first band")
    run("band 8")
    checks.equal(value("LoopCount"), 2, "LoopCount after the second band")
    checks.equal(stepper.temp_files(), [temp], "the temporary file stays until the page ends")

    run("end")
    checks.equal(names(), sorted(set(BEGUN_VALUES) - {"LoopCount", "TempFile", "TempFile Identity"}),
                 "after CmdEndPage")
    checks.equal(value("Page Count"), 1, "Page Count after the first page")
    checks.equal(stepper.temp_files(), [], "CmdEndPage removed the temporary file")
    checks.check(os.path.getsize(output) > 64 * 20, "the output file holds the page")


def second_page_with_shared_reads():
    run("prepare gray8 64 20 1")
    checks.equal(value("Page Count"), 1, "CmdPreparePage of a continued page keeps Page Count")
    run("begin")
    temp = temp_file_named_in_registry()
    checks.equal(stepper.ask("hold temp read"), "held", "another handle reads the temporary file")
    run("band 20")
    checks.equal(stepper.ask("release"), "released", "the reader lets go")
    size_before = os.path.getsize(output)
    checks.equal(stepper.ask("hold output read"), "held", "another handle reads the output file")
    run("end")
    stepper.ask("release")
    checks.check(os.path.getsize(output) > size_before, "the page was appended while the file was being read")
    checks.equal(value("Page Count"), 2, "Page Count after the second page")
    checks.equal(stepper.temp_files(), [], "no temporary file left (%s gone)" % temp)


def refused_writers():
    """The plug-in shares its files for reading only: a command finds another
    handle that writes or deletes, and fails with 203 instead of opening."""
    for access in ("write", "delete"):
        run("prepare gray8 64 20 1")
        run("begin")
        checks.equal(stepper.ask("hold temp " + access), "held", "another handle opens the temporary file to " + access)
        run("band 20", 203)
        stepper.ask("release")
        checks.equal(stepper.temp_files(), [], "the failed page's temporary file is gone once released")
        checks.equal(value("LoopCount"), 0, "LoopCount unchanged by the failed band")

    for access in ("write", "delete"):
        run("prepare gray8 64 20 1")
        run("begin")
        run("band 20")
        size_before = os.path.getsize(output)
        checks.equal(stepper.ask("hold output " + access), "held", "another handle opens the output file to " + access)
        run("end", 203)
        stepper.ask("release")
        checks.equal(os.path.getsize(output), size_before, "the output file is unchanged")
        checks.equal(value("Page Count"), 2, "Page Count unchanged by the failed page")
        checks.equal(stepper.temp_files(), [], "the failed page's temporary file is gone")


def page_without_layout():
    """A 1-bit palette image passes classification but has no page form."""
    run("prepare pal1 64 20 1")
    checks.equal(value("ImageFormat"), 3001, "ImageFormat of a 1-bit palette image")
    before = w.plugin_values(key)
    run("begin", 209)
    checks.equal(stepper.temp_files(), [], "a refused page leaves no temporary file")
    checks.equal(w.plugin_values(key), before, "a refused page leaves the registry as it was")


def end_job():
    run("prepare gray8 64 20 1")
    run("begin")
    checks.equal(len(stepper.temp_files()), 1, "a page in progress has its temporary file")
    run("endjob")
    checks.equal(names(), ["Directory Count", "Image Offset", "Image Size"],
                 "after CmdEndJob only the values that outlive a job remain")
    checks.equal(stepper.temp_files(), [], "CmdEndJob removed the abandoned page's temporary file")


try:
    first_page()
    second_page_with_shared_reads()
    refused_writers()
    page_without_layout()
    end_job()
finally:
    stepper.close()
    w.delete_key(key)

tiffinfo = subprocess.run(["tiffinfo", output], capture_output=True, text=True)
checks.equal(tiffinfo.stdout.count("TIFF Directory"), 2, "the output holds the two committed pages")
checks.equal(tiffinfo.stderr.strip(), "", "tiffinfo reports no problem")
shutil.rmtree(work)
checks.finish()
