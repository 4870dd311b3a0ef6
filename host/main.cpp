// zeduz-tiff: turns scans (PNM, PNG) into a multi-page TIFF file through the
// TIFF plug-in, driving it exactly as a scanning application does.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "host/demo_pages.h"
#include "host/format_mapping.h"
#include "host/image_reader.h"
#include "host/job_driver.h"
#include "host/options.h"
#include "host/output_path.h"
#include "host/plugin_library.h"
#include "host/progress.h"
#include "host/settings.h"
#include "host/status_names.h"

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

// Every input is read before the plug-in sees a page, so that a bad input
// never leaves half a document behind.
std::vector<ScanPage> LoadPages(const HostOptions& options) {
    std::vector<Image> images;
    if (options.inputs.empty()) {
        images = MakeDemoPages();
    }
    for (const std::string& input : options.inputs) {
        for (Image& image : ReadImageFile(input)) {
            images.push_back(std::move(image));
        }
    }
    MappingOptions mapping;
    mapping.palette4WhenSmall = options.palette4WhenSmall;
    std::vector<ScanPage> pages;
    for (Image& image : images) {
        pages.push_back(MapToScanPage(std::move(image), mapping));
    }
    return pages;
}

std::string PageLine(const ScanPage& page) {
    return page.image.label + " (" + std::to_string(page.image.width) + " x " + std::to_string(page.image.height) +
           ", " + page.Describe() + ")";
}

int RunJob(const HostOptions& options, const std::vector<ScanPage>& pages, const std::string& outputPath,
           const PluginLibrary& plugin) {
    Progress progress(options.quiet);
    JobDriver driver(plugin, progress, outputPath);
    std::string formatName;
    std::string settingsText;
    driver.Initialize(formatName, settingsText);
    progress.Info(formatName + ": " + settingsText);

    bool continueFile = options.append && FileExists(outputPath);
    if (options.append && !continueFile) {
        progress.Info("note: " + outputPath + " does not exist yet; starting a new file");
    }
    PageGeometry geometry;
    geometry.bandRows = options.bandRows;
    geometry.xResolution = options.xResolution;
    geometry.yResolution = options.yResolution;

    const uint32_t pageCount = static_cast<uint32_t>(pages.size());
    for (uint32_t i = 0; i < pageCount; ++i) {
        progress.PageStarted(i + 1, pageCount, PageLine(pages[i]));
        JobFailure failure;
        if (!driver.WritePage(pages[i], continueFile, geometry, failure)) {
            progress.Interrupt();
            driver.EndJob();
            return Fail(kExitPageFailed, "page " + std::to_string(i + 1) + " (" + pages[i].image.label + "): " +
                                             failure.command + " failed with " + DescribeStatus(failure.status));
        }
        progress.PageFinished();
        continueFile = true;
    }
    const uint16_t ended = driver.EndJob();
    if (ended != 0) {
        return Fail(kExitPageFailed, std::string("CmdEndJob failed with ") + DescribeStatus(ended));
    }
    progress.Info("wrote " + std::to_string(pageCount) + (pageCount == 1 ? " page to " : " pages to ") + outputPath);
    return kExitOk;
}

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
    std::vector<ScanPage> pages;
    try {
        pages = LoadPages(options);
    } catch (const InputError& bad) {
        return Fail(kExitBadSetup, bad.what());
    }
    const std::string outputPath = FullOutputPath(options.output);
    if (outputPath.empty()) {
        return Fail(kExitBadSetup, "output path " + options.output + " is too long (at most 259 characters)");
    }
    if (!StoreUserSettings(options.settings, error)) {
        return Fail(kExitBadSetup, error);
    }
    PluginLibrary plugin;
    const std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    if (!plugin.Load(pluginPath, error)) {
        return Fail(kExitBadSetup, error);
    }
    return RunJob(options, pages, outputPath, plugin);
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
