// Whole uncompressed pages through the entry point, as a host drives them:
// prepare, begin, bands of 64 rows, end. Reports MB/s of host pixel data;
// the second page of each run is appended to the first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "entry/entry_point.h"
#include "entry/host_records.h"
#include "platform/win32.h"

namespace {

constexpr uint32_t kBandRows = 64;

struct Job {
    PluginRequest request{};
    TargetFile target{};
    ScanImage image{};
};

uint32_t RunCommand(Job& job, int32_t command) {
    uint32_t status = ZUVadeZoduv(command, &job.request) & 0xFFFF;
    if (status != 0) std::fprintf(stderr, "command %d: status %u\n", command, status);
    return status;
}

// Writes one page of `width` x `height` pixels of `bits` (24 RGB or 8 grey).
bool WritePage(Job& job, const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, uint32_t bits,
               bool continueFile) {
    ScanImage& image = job.image;
    image = ScanImage{};
    image.bitsPerPixel = bits;
    image.samplesPerPixel = bits == 24 ? 3 : 1;
    image.colorKind = bits == 24 ? ColorRgb : ColorGray;
    image.continueFile = continueFile;
    if (RunCommand(job, CmdPreparePage) != 0) return false;
    image.width = width;
    image.rows = height;
    image.xResolution = image.yResolution = 300;
    if (RunCommand(job, CmdBeginPage) != 0) return false;
    uint32_t stride = (width * bits + 31) / 32 * 4;
    for (uint32_t row = 0; row < height; row += kBandRows) {
        image.rows = std::min(kBandRows, height - row);
        image.pixels = pixels.data() + size_t{row} * stride;
        if (RunCommand(job, CmdWriteBand) != 0) return false;
    }
    return RunCommand(job, CmdEndPage) == 0;
}

void BM_Page(benchmark::State& state) {
    uint32_t width = static_cast<uint32_t>(state.range(0));
    uint32_t height = static_cast<uint32_t>(state.range(1));
    uint32_t bits = static_cast<uint32_t>(state.range(2));
    std::string scratch = (std::filesystem::temp_directory_path() / "zeduz-page-bench").string();
    std::filesystem::create_directories(scratch + "/registry");
    setenv("ZEDUZ_REGISTRY_DIR", (scratch + "/registry").c_str(), 1);
    PluginProcessAttach(GetModuleHandleA(nullptr));

    Job job;
    job.request.target = &job.target;
    job.target.image = &job.image;
    job.request.stateKey.stateRoot = HKEY_CURRENT_USER;
    std::snprintf(job.request.stateKey.stateKeyPath, sizeof(job.request.stateKey.stateKeyPath), "Software\\Bench");
    std::snprintf(job.target.path, sizeof(job.target.path), "%s/out.tif", scratch.c_str());
    uint32_t stride = (width * bits + 31) / 32 * 4;
    std::vector<uint8_t> pixels(size_t{stride} * height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 2654435761u >> 24);

    for (auto _ : state) {
        if (!WritePage(job, pixels, width, height, bits, false) || !WritePage(job, pixels, width, height, bits, true)) {
            state.SkipWithError("a page failed");
            break;
        }
    }
    RunCommand(job, CmdEndJob);
    PluginProcessDetach();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * static_cast<int64_t>(pixels.size()));
    std::filesystem::remove_all(scratch);
}

BENCHMARK(BM_Page)->Args({2550, 3300, 24})->Args({2550, 3300, 8})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
