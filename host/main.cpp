// zeduz-tiff: turns scans (PNM, PNG) into a multi-page TIFF file through the
// TIFF plug-in, driving it exactly as a scanning application does.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "base/status.h"
#include "generated/zeduz_version.h"
#include "host/file_identity.h"
#include "host/format_mapping.h"
#include "host/image.h"
#include "host/input_file.h"
#include "host/job_driver.h"
#include "host/job_key.h"
#include "host/options.h"
#include "host/output_lock.h"
#include "host/output_path.h"
#include "host/output_target.h"
#include "host/page_source.h"
#include "host/plugin_library.h"
#include "host/progress.h"
#include "host/registry_check.h"
#include "host/settings.h"
#ifdef ZEDUZ_HAVE_SANE
#include "host/scan_source.h"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitPageFailed = 1;
constexpr int kExitBadSetup = 2;
constexpr char kProgram[] = "zeduz-tiff";

int Fail(int code, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %s\n", kProgram, message.c_str());
    return code;
}

std::string PageLine(const ScanPage& page) {
    const std::string height = page.image.heightKnown ? std::to_string(page.image.height) : "?";
    return page.image.label + " (" + std::to_string(page.image.width) + " x " + height + ", " + page.Describe() + ")";
}

PageDelivery GeometryOf(const HostOptions& options) {
    PageDelivery geometry;
    geometry.bandRows = options.bandRows;
    geometry.announcedRows = options.announceRows;
    geometry.xResolution = options.xResolution;
    geometry.yResolution = options.yResolution;
    return geometry;
}

// What a job holds from before its first page to its end: the output, the
// lock on it, the job's registry key and the plug-in.
struct Job {
    OutputTarget output;
    OutputLock lock;
    std::string keyPath;
    PluginLibrary plugin;
};

// Writes every page; CmdEndJob also follows a failed page or an input found
// damaged while its rows are read, so that the plug-in drops the unfinished
// page and keeps the pages before it. The job's key goes once every page is
// in the file.
int RunJob(const HostOptions& options, const PageSequence& source, uint32_t pageCount, const Job& job) {
    const std::string& outputPath = job.output.path;
    const PluginLibrary& plugin = job.plugin;
    Progress progress(options.quiet);
    JobDriver driver(plugin, progress, outputPath, job.keyPath);
    std::string formatName;
    std::string settingsText;
    JobFailure initFailure;
    if (!driver.Initialize(formatName, settingsText, initFailure)) {
        return Fail(kExitPageFailed, CommandFailure(initFailure.command, initFailure.status));
    }
    progress.Info(formatName + ": " + settingsText);

    bool continueFile = options.append && FileExists(outputPath);
    if (options.append && !continueFile) {
        progress.Info("note: " + outputPath + " does not exist yet; starting a new file");
    }
    const PageDelivery geometry = GeometryOf(options);
    uint32_t pageNumber = 0;
    std::string failed;
    uint32_t pagesWritten = 0;
    const auto writePage = [&](const ScanPage& page, PageRows& rows) {
        progress.PageStarted(++pageNumber, pageCount, PageLine(page));
        JobFailure failure;
        if (!driver.WritePage(page, rows, continueFile, geometry, failure)) {
            failed = "page " + std::to_string(pageNumber) + " (" + page.image.label +
                     "): " + CommandFailure(failure.command, failure.status);
            return false;
        }
        progress.PageFinished();
        ++pagesWritten;
        continueFile = true;
        return true;
    };
    int code = kExitOk;
    try {
        if (!source.ForEachPage(writePage)) {
            code = kExitPageFailed;
        }
    } catch (const InputError& bad) {
        failed = bad.what();
        code = kExitBadSetup;
    } catch (const PageFault& fault) {
        failed = fault.what();
        code = kExitPageFailed;
    } catch (const std::bad_alloc&) {
        failed = "out of memory";
        code = kExitBadSetup;
    }
    progress.Interrupt();
    const uint16_t ended = driver.EndJob();
    if (code != kExitOk && !failed.empty() && pagesWritten > 0 && ended == 0) {
        progress.Info("kept the " + std::to_string(pagesWritten) + (pagesWritten == 1 ? " page" : " pages") +
                      " written before the error in " + outputPath);
    }
    if (code != kExitOk) {
        return Fail(code, failed);
    }
    if (ended != 0) {
        return Fail(kExitPageFailed, CommandFailure("CmdEndJob", ended));
    }
    DeleteJobKey(job.keyPath);
    progress.Info("wrote " + std::to_string(pageNumber) + (pageNumber == 1 ? " page to " : " pages to ") + outputPath);
    return kExitOk;
}

// No input may be the output file, under whatever name or link: the job
// would overwrite it before reading it.
bool CheckInputsAreNotOutput(const HostOptions& options, const OutputTarget& output, std::string& error) {
    FileIdentity written;
    if (!IdentityOf(output.path, written)) {
        return true;  // no output file yet
    }
    for (const std::string& input : options.inputs) {
        FileIdentity read;
        const bool known = input == kStandardInput ? IdentityOfStandardInput(read) : IdentityOf(input, read);
        if (known && read == written) {
            error = "the output file " + options.output + " is also an input (" + input + "); nothing was written";
            return false;
        }
    }
    return true;
}

// Appending without --byte-order: the file's own byte order, where it has one.
void TakeByteOrderOfFile(const std::string& path, UserSettings& settings) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return;
    }
    char order[2] = {};
    if (std::fread(order, 1, 2, file) == 2 && order[0] == order[1] && (order[0] == 'I' || order[0] == 'M')) {
        settings.byteOrder = order[0] == 'I' ? ByteOrderIntel : ByteOrderMotorola;
    }
    std::fclose(file);
}

// Output, registry, the lock on the output, the settings of this run and the
// plug-in: what every job needs before its first page. Nothing is written to
// the output before; false with `error` set.
bool PrepareJob(const HostOptions& options, Job& job, std::string& error) {
    if (!ResolveOutput(options.output, job.output, error) || !CheckRegistry(error) ||
        !job.lock.Acquire(job.output.canonical, job.output.path, error) ||
        !CheckInputsAreNotOutput(options, job.output, error)) {
        return false;
    }
    if (options.saveSettings && !SaveUserSettings(options.settings, error)) {
        return false;
    }
    UserSettings settings = options.settings;
    if (options.append && !settings.byteOrder) {
        TakeByteOrderOfFile(job.output.path, settings);
    }
    job.keyPath = JobKeyPath(job.output.canonical);
    if (!WriteJobSettings(job.keyPath, settings, error)) {
        return false;
    }
    const std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    return job.plugin.Load(pluginPath, error);
}

// The host's version, then the plug-in's, read from the library the host
// loads (--plugin, else the default one), so that a user sees which one
// their pages would go through.
int PrintVersion(const HostOptions& options) {
    std::printf("%s %s\n", kProgram, ZEDUZ_VERSION);
    const std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    PluginLibrary plugin;
    std::string error;
    if (!plugin.Load(pluginPath, error)) {
        return Fail(kExitBadSetup, error);
    }
    const std::string version = plugin.Version();
    std::printf("plug-in %s (%s)\n", version.empty() ? "of unknown version" : version.c_str(), pluginPath.c_str());
    return kExitOk;
}

#ifdef ZEDUZ_HAVE_SANE
// Scans into the output: the scanner is opened and set up before the job
// starts, so that a device or option it lacks leaves nothing behind.
int Scan(const HostOptions& options) {
    Job job;
    std::string error;
    if (!PrepareJob(options, job, error)) {
        return Fail(kExitBadSetup, error);
    }
    const SaneSession session;
    SaneDevice device(session, options.scan.device);
    ApplyScanSettings(device, options);
    HostOptions scanJob = options;
    ScanResolution(device, scanJob.xResolution, scanJob.yResolution);
    const ScanSource source(device, options.scan.batch);
    return RunJob(scanJob, source, 0, job);
}
#else
int Scan(const HostOptions&) { return Fail(kExitBadSetup, "scanning (SANE) is available on Linux only"); }
int ListScanners() { return Scan(HostOptions{}); }
#endif

int Main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        return Fail(kExitBadSetup, error);
    }
    if (options.help) {
        std::fputs(UsageText(kProgram).c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        return PrintVersion(options);
    }
    if (options.listScanners) {
        return ListScanners();
    }
    if (options.scan.scan) {
        return Scan(options);
    }
    MappingOptions mapping;
    mapping.palette4WhenSmall = options.palette4WhenSmall;
    const PageSource source(options.inputs, mapping);
    uint32_t pageCount = 0;
    try {
        pageCount = source.CheckAll();
    } catch (const InputError& bad) {
        return Fail(kExitBadSetup, bad.what());
    }
    Job job;
    if (!PrepareJob(options, job, error)) {
        return Fail(kExitBadSetup, error);
    }
    return RunJob(options, source, pageCount, job);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail(kExitBadSetup, "out of memory");
    } catch (const std::exception& failure) {
        return Fail(kExitBadSetup, failure.what());
    }
}
