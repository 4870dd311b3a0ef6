// Fuzz target (a): sequences of host commands through ZUVadeZoduv.
//
// An input is a list of steps: the page commands with fuzzed records and
// pixels (in any order, with any sizes), whole well-formed pages, settings
// changed between commands, faults of the file and memory services, short
// free space, damaged job values in the registry, and missing records. Each
// input runs in-process on a fresh registry, temp directory and output
// directory, with the plug-in attached anew.
//
// Besides the sanitizers' findings, an input fails when the plug-in
//  - returns a status that is not one of its codes;
//  - changes an output file in any command but CmdEndPage;
//  - ends a page without adding exactly that page behind the pages already
//    there (or, on a new file, leaving exactly one page), or fails to end it
//    and still changes the pages already there; every page must stay
//    readable by libtiff;
//  - leaves a page file behind a successful CmdEndJob of an input without
//    faults and without a damaged "TempFile" value;
//  - touches a file that the registry names but that is not its own.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "entry/entry_point.h"
#include "entry/host_records.h"
#include "memory_tiff.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "tiff/byte_order.h"
#include "tiff/image_format.h"

namespace fs = std::filesystem;
using fuzz::Bytes;
using platform::testing::Service;

namespace {

constexpr int kMaxSteps = 48;
constexpr uint64_t kMaxBandBytes = 1u << 20;  // a bigger band gets no pixels
constexpr char kDefaultKeyPath[] = "Software\\ZeduzFuzz\\Scan";
constexpr char kVictimText[] = "not a page file of the plug-in";

// ZEDUZ_FUZZ_TRACE=1 prints every step of an input (for replaying one).
bool Tracing() {
    static const bool tracing = getenv("ZEDUZ_FUZZ_TRACE") != nullptr;
    return tracing;
}

void Trace(const std::string& line) {
    if (Tracing()) fprintf(stderr, "  %s\n", line.c_str());
}

[[noreturn]] void Fail(const std::string& what);

// The directories every input runs in, below /dev/shm when it is there.
struct Sandbox {
    fs::path root, registry, temp, output, victim;

    Sandbox() {
        const char* base = getenv("TMPDIR");
        fs::path parent = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::path(base ? base : "/tmp");
        std::string pattern = (parent / "zeduz-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make the sandbox");
        root = pattern;
        registry = root / "registry";
        temp = root / "temp";
        output = root / "output";
        victim = root / "victim.tmp";
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void Clear() {
        for (const fs::path& dir : {registry, temp, output}) {
            std::error_code ignored;
            fs::remove_all(dir, ignored);
            fs::create_directories(dir);
        }
        std::ofstream(victim, std::ios::binary | std::ios::trunc) << kVictimText;
    }
};

Sandbox* g_sandbox = nullptr;

// The output file of a failed input stays as zeduz-fuzz-failed.tif in the
// working directory.
[[noreturn]] void Fail(const std::string& what) {
    fprintf(stderr, "entry fuzz: %s\n", what.c_str());
    if (g_sandbox != nullptr) {
        std::error_code ignored;
        fs::copy_file(g_sandbox->output / "scan.tif", "zeduz-fuzz-failed.tif", fs::copy_options::overwrite_existing,
                      ignored);
        fs::remove_all(g_sandbox->root, ignored);
    }
    abort();
}

std::optional<Bytes> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

int PageCount(const std::optional<Bytes>& file) { return file ? fuzz::ReadablePageCount(*file) : 0; }

// The names of the files in the temp directory, blank-separated.
std::string TempFilesLeft() {
    std::string names;
    for (const auto& entry : fs::directory_iterator(g_sandbox->temp))
        if (entry.is_regular_file()) names += " " + entry.path().filename().string();
    return names;
}

bool KnownStatus(uint32_t result) {
    return strcmp(StatusName(static_cast<PluginStatus>(result & 0xFFFFu)), "unknown status") != 0;
}

// The image layouts a host describes; the last row is no layout at all.
struct Layout {
    uint32_t bits, samples, kind;
};
constexpr Layout kLayouts[] = {
    {48, 3, ColorRgb},    {24, 3, ColorRgb},    {16, 1, ColorGray},   {8, 1, ColorGray},    {4, 1, ColorGray},
    {8, 1, ColorPalette}, {4, 1, ColorPalette}, {1, 1, ColorPalette}, {1, 1, ColorBilevel},
};

// Bytes from one host row to the next, as a host lays out its rows.
uint64_t HostStride(int32_t format, uint32_t width, uint32_t rowBytes) {
    auto padded = [&](uint32_t bits) { return (uint64_t{width} * bits + 31) / 32 * 4; };
    switch (format) {
        case FormatRgb48: return padded(48);
        case FormatRgb24: return padded(24);
        case FormatGray16: return padded(16);
        case FormatGray8: return padded(8);
        case FormatPalette8: return width;
        case FormatGray4:
        case FormatPalette4: return padded(4);
        case FormatBilevel: return rowBytes;
        default: return 0;
    }
}

class Job {
public:
    explicit Job(FuzzedDataProvider& data) : data_(data) {
        request_.target = &target_;
        target_.image = &image_;
        request_.stateKey.stateRoot = HKEY_CURRENT_USER;
        SetKeyPath(kDefaultKeyPath);
        outputs_[0] = (g_sandbox->output / "scan.tif").string();
        outputs_[1] = (g_sandbox->output / "other.tif").string();
        SetOutput(outputs_[0]);
    }

    void Run() {
        for (int step = 0; step < kMaxSteps && data_.remaining_bytes() > 0; ++step) Step();
    }

    bool faultsArmed() const { return faultsArmed_; }
    bool tempFileDamaged() const { return tempFileDamaged_ || keyChanged_; }
    bool endedJobLast() const { return endedJobLast_; }

private:
    void Step() {
        endedJobLast_ = false;
        switch (data_.ConsumeIntegralInRange(0, 19)) {
            case 0:
            case 1: Prepare(); break;
            case 2:
            case 3: Begin(); break;
            case 4:
            case 5:
            case 6: Band(); break;
            case 7: Palette(); break;
            case 8:
            case 9: EndPage(); break;
            case 10: EndJob(); break;
            case 11: Command(data_.PickValueInArray({CmdInitialize, CmdSettings, CmdAbout})); break;
            case 12: ChangeSettings(); break;
            case 13: ArmFault(); break;
            case 14: DamageJobValue(); break;
            case 15: OddRecords(); break;
            case 16: SetKeyPathStep(); break;
            case 17:
                Trace("output file chosen");
                SetOutput(outputs_[data_.ConsumeIntegralInRange(0, 1)]);
                break;
            default: WholePage(); break;
        }
    }

    // One command; the output files must come out of it as they went in.
    uint32_t Command(int32_t command) {
        auto before = Snapshot();
        uint32_t result = ZUVadeZoduv(command, &request_);
        Trace("command " + std::to_string(command) + " -> " + std::to_string(result & 0xFFFFu) + Describe(command));
        if (!KnownStatus(result)) Fail("command " + std::to_string(command) + " returned " + std::to_string(result));
        if (Snapshot() != before) Fail("command " + std::to_string(command) + " changed an output file");
        return result & 0xFFFFu;
    }

    std::string Describe(int32_t command) const {
        if (target_.image == nullptr) return " no image record";
        const ScanImage& image = *target_.image;
        switch (command) {
            case CmdPreparePage:
                return " prepare bits " + std::to_string(image.bitsPerPixel) + " samples " +
                       std::to_string(image.samplesPerPixel) + " kind " + std::to_string(image.colorKind) +
                       " continue " + std::to_string(image.continueFile);
            case CmdBeginPage:
            case CmdWriteBand:
                return std::string(command == CmdBeginPage ? " begin " : " band ") + std::to_string(image.width) +
                       " x " + std::to_string(image.rows) + " rowBytes/yres " + std::to_string(image.yResolution) +
                       (image.pixels ? "" : " no pixels");
            default: return "";
        }
    }

    std::vector<std::optional<Bytes>> Snapshot() const { return {FileBytes(outputs_[0]), FileBytes(outputs_[1])}; }

    uint32_t Geometry() {
        switch (data_.ConsumeIntegralInRange(0, 9)) {
            case 0: return 0;
            case 1: return data_.ConsumeIntegral<uint32_t>();
            default: return data_.ConsumeIntegralInRange<uint32_t>(1, 300);
        }
    }

    void DescribeImage(bool continueFile) {
        image_ = ScanImage{};
        if (data_.ConsumeIntegralInRange(0, 15) == 0) {
            image_.bitsPerPixel = data_.ConsumeIntegral<uint8_t>();
            image_.samplesPerPixel = data_.ConsumeIntegral<uint8_t>();
            image_.colorKind = data_.ConsumeIntegral<uint8_t>();
            image_.unsupportedLayout = data_.ConsumeIntegralInRange(0, 3) == 0;
        } else {
            const Layout layout = data_.PickValueInArray(kLayouts);
            image_.bitsPerPixel = layout.bits;
            image_.samplesPerPixel = layout.samples;
            image_.colorKind = layout.kind;
        }
        image_.continueFile = continueFile ? 1 : 0;
    }

    void Prepare() {
        DescribeImage(data_.ConsumeBool());
        if (Command(CmdPreparePage) == StatusOk) Prepared();
    }

    void Prepared() {
        continuing_ = image_.continueFile != 0;
        preparedFormat_ = ClassifyFormat(image_.bitsPerPixel, image_.samplesPerPixel, image_.colorKind);
    }

    void Begin() {
        pageWidth_ = Geometry();
        image_.width = pageWidth_;
        image_.rows = Geometry();
        image_.xResolution = data_.ConsumeIntegral<uint16_t>();
        image_.yResolution = data_.ConsumeIntegral<uint16_t>();
        Command(CmdBeginPage);
    }

    // The job value `name`, as the plug-in left it.
    std::optional<uint32_t> JobValue(const char* name) const {
        HKEY key;
        std::string path =
            std::string(request_.stateKey.stateKeyPath, strnlen(request_.stateKey.stateKeyPath, 256)) + "\\ZEDUZ-ORID";
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return {};
        uint32_t value = 0;
        DWORD size = sizeof(value);
        LSTATUS result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || size != sizeof(value)) return {};
        return value;
    }

    void SetJobValue(const char* name, DWORD type, const void* bytes, DWORD size) {
        HKEY key;
        DWORD disposition = 0;
        std::string path =
            std::string(request_.stateKey.stateKeyPath, strnlen(request_.stateKey.stateKeyPath, 256)) + "\\ZEDUZ-ORID";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(bytes), size);
        RegCloseKey(key);
    }

    // A band of `rows` rows: exactly the bytes a host holds for the format the
    // page was prepared with (none at all when there is no such format), so
    // that any read past them is seen.
    void Band() {
        const uint32_t rows =
            data_.ConsumeIntegralInRange(0, 7) == 0 ? Geometry() : data_.ConsumeIntegralInRange<uint32_t>(0, 40);
        const uint32_t width = data_.ConsumeIntegralInRange(0, 4) == 0 ? Geometry() : pageWidth_;
        uint32_t rowBytes = (width + 7) / 8 + data_.ConsumeIntegralInRange<uint32_t>(0, 3);
        if (data_.ConsumeIntegralInRange(0, 15) == 0) rowBytes = data_.ConsumeIntegral<uint32_t>();
        RunBand(width, rows, rowBytes, data_.ConsumeIntegralInRange(0, 31) == 0);
    }

    void RunBand(uint32_t width, uint32_t rows, uint32_t rowBytes, bool noPixels) {
        // The host's rows are those of the image it last prepared; the
        // plug-in may go by the job's format in the registry instead (the
        // same, unless the job values were damaged or deleted since).
        const int32_t format = static_cast<int32_t>(JobValue("ImageFormat").value_or(FormatNone));
        const bool firstPalette4Band =
            (format == FormatPalette4 || preparedFormat_ == FormatPalette4) && JobValue("LoopCount").value_or(0) == 0;
        const uint32_t lead = firstPalette4Band ? 32 : 0;
        const uint64_t stride =
            std::max(HostStride(format, width, rowBytes), HostStride(preparedFormat_, width, rowBytes));
        const uint64_t bytes = lead + stride * rows;
        std::vector<uint8_t> pixels;
        if (bytes <= kMaxBandBytes) {
            pixels = data_.ConsumeBytes<uint8_t>(static_cast<size_t>(std::min<uint64_t>(bytes, 4096)));
            const size_t given = pixels.size();
            pixels.resize(static_cast<size_t>(bytes));
            for (size_t i = given; i < pixels.size(); ++i)
                pixels[i] = given ? pixels[i % given] : static_cast<uint8_t>(i * 7);
        }
        // A separate block of exactly the host's size (a zero-size one when
        // there is nothing to read).
        std::unique_ptr<uint8_t[]> block(new uint8_t[pixels.size()]);
        if (!pixels.empty()) memcpy(block.get(), pixels.data(), pixels.size());
        image_.width = width;
        image_.rows = rows;
        image_.yResolution = rowBytes;
        image_.pixels = noPixels || bytes > kMaxBandBytes ? nullptr : block.get();
        Trace("band of format " + std::to_string(format) + ": " + std::to_string(pixels.size()) + " bytes given");
        Command(CmdWriteBand);
        image_.pixels = nullptr;
    }

    // The palette form of the image record, exactly as long as its entries.
    void Palette() {
        const uint16_t entries = data_.ConsumeIntegralInRange(0, 7) == 0
                                     ? data_.ConsumeIntegral<uint16_t>()
                                     : data_.ConsumeIntegralInRange<uint16_t>(0, 300);
        RunPalette(entries);
    }

    void RunPalette(uint16_t entries) {
        const size_t size = std::max<size_t>(sizeof(ScanImage), kPaletteFirstEntryOffset + 4 * size_t{entries});
        std::unique_ptr<uint8_t[]> record(new uint8_t[size]);
        Bytes colours = data_.ConsumeBytes<uint8_t>(64);
        for (size_t i = 0; i < size; ++i)
            record[i] = colours.empty() ? static_cast<uint8_t>(i) : colours[i % colours.size()];
        record[0] = static_cast<uint8_t>(entries);
        record[1] = static_cast<uint8_t>(entries >> 8);
        target_.image = reinterpret_cast<ScanImage*>(record.get());
        Command(CmdWritePalette);
        target_.image = &image_;
    }

    // A page ends: on success it is the file's new last page (or the only
    // page of a new file); on failure the pages before it are untouched.
    void EndPage() {
        const std::string path = target_.path;
        const std::optional<Bytes> before = FileBytes(path);
        const int pagesBefore = PageCount(before);
        if (pagesBefore < 0) Fail("the output file was unreadable before CmdEndPage");
        const std::optional<Bytes> other = FileBytes(path == outputs_[0] ? outputs_[1] : outputs_[0]);

        const uint32_t result = ZUVadeZoduv(CmdEndPage, &request_);
        Trace("end page -> " + std::to_string(result & 0xFFFFu) + " pages " + std::to_string(pagesBefore) + " -> " +
              std::to_string(PageCount(FileBytes(path))));
        if (!KnownStatus(result)) Fail("CmdEndPage returned " + std::to_string(result));
        const std::optional<Bytes> after = FileBytes(path);
        const int pagesAfter = PageCount(after);
        if (FileBytes(path == outputs_[0] ? outputs_[1] : outputs_[0]) != other)
            Fail("CmdEndPage changed another file");
        if (pagesAfter < 0) Fail("CmdEndPage left an output file libtiff cannot read");

        const bool ok = (result & 0xFFFFu) == StatusOk;
        const bool newFile = !continuing_;
        if (ok) continuing_ = true;  // a page begun without CmdPreparePage follows this one
        // Damaged job values may name any page count: the file only has to
        // stay readable.
        if (jobValuesDamaged_) return;
        if (ok && newFile) {
            if (pagesAfter != 1) Fail("a new file holds " + std::to_string(pagesAfter) + " pages");
            return;
        }
        const int expected = ok ? pagesBefore + 1 : pagesBefore;
        if (pagesAfter != expected)
            Fail("CmdEndPage (status " + std::to_string(result & 0xFFFFu) + ") left " + std::to_string(pagesAfter) +
                 " pages of " + std::to_string(pagesBefore));
        if (before && !KeepsPages(*before, after)) Fail("CmdEndPage changed the pages already in the file");
    }

    // The old bytes are still there, apart from one next-directory field.
    static bool KeepsPages(const Bytes& before, const std::optional<Bytes>& after) {
        if (!after || after->size() < before.size()) return false;
        size_t first = before.size(), last = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (before[i] != (*after)[i]) {
                first = std::min(first, i);
                last = i;
            }
        }
        return first == before.size() || last - first < 4;
    }

    void EndJob() {
        const uint32_t result = Command(CmdEndJob);
        endedJobLast_ = result == StatusOk;
    }

    void ChangeSettings() {
        Trace("settings changed");
        uint32_t byteOrder = data_.PickValueInArray<uint32_t>({ByteOrderIntel, ByteOrderMotorola, 0});
        if (byteOrder == 0) byteOrder = data_.ConsumeIntegral<uint32_t>();
        uint32_t compression = data_.PickValueInArray<uint32_t>(
            {CompressionNone, CompressionGroup4, CompressionGroup3OneD, CompressionGroup3TwoD, CompressionPackBits, 0});
        if (compression == 0) compression = data_.ConsumeIntegral<uint32_t>();
        uint32_t colorCompression = data_.PickValueInArray<uint32_t>(
            {CompressionNone, CompressionLzw, CompressionDeflate, CompressionJpeg, CompressionPackBits, 0});
        if (colorCompression == 0) colorCompression = data_.ConsumeIntegral<uint32_t>();
        // Any quality, in range or not: one outside 1-100 is the default.
        const uint32_t jpegQuality = data_.ConsumeIntegralInRange<uint32_t>(0, 101);
        SetJobValue("File Type", REG_DWORD, &byteOrder, sizeof(byteOrder));
        SetJobValue("Compression", REG_DWORD, &compression, sizeof(compression));
        SetJobValue("Color Compression", REG_DWORD, &colorCompression, sizeof(colorCompression));
        SetJobValue("JPEG Quality", REG_DWORD, &jpegQuality, sizeof(jpegQuality));
        // Classic TIFF, BigTIFF or any other value (classic): a file continued
        // as the other kind is refused, never converted.
        uint32_t fileKind = data_.PickValueInArray<uint32_t>({FileKindClassic, FileKindBigTiff, 2});
        if (fileKind == 2) fileKind = data_.ConsumeIntegral<uint32_t>();
        SetJobValue("BigTIFF", REG_DWORD, &fileKind, sizeof(fileKind));
    }

    void ArmFault() {
        Trace("fault armed");
        faultsArmed_ = true;
        switch (data_.ConsumeIntegralInRange(0, 3)) {
            case 0: {
                const auto service = static_cast<Service>(data_.ConsumeIntegralInRange(0, 9));
                const int count = data_.ConsumeIntegralInRange(1, 2);
                const int skip = data_.ConsumeIntegralInRange(0, 40);
                Trace("  service " + std::to_string(static_cast<int>(service)) + " fails " + std::to_string(count) +
                      " calls after " + std::to_string(skip));
                platform::testing::FailCalls(service, count, skip);
                break;
            }
            case 1:
                platform::testing::SetFreeSpace(
                    data_.ConsumeBool() ? std::optional<uint64_t>(data_.ConsumeIntegralInRange<uint64_t>(0, 1 << 20))
                                        : std::nullopt);
                break;
            case 2: platform::testing::SetWriteBudget(data_.ConsumeIntegralInRange<uint64_t>(0, 1 << 20)); break;
            default: platform::testing::SetExtendedFreeSpaceQueryAvailable(data_.ConsumeBool()); break;
        }
    }

    // A job value as a damaged registry or another program may leave it.
    void DamageJobValue() {
        Trace("job value damaged");
        static const char* const kDwords[] = {"ImageFormat",     "Page Count", "LoopCount",   "Image Size",
                                              "Directory Count", "Next Point", "Image Offset"};
        if (data_.ConsumeBool()) {
            jobValuesDamaged_ = true;
            const char* name = data_.PickValueInArray(kDwords);
            uint32_t value = data_.ConsumeBool() ? data_.ConsumeIntegralInRange<uint32_t>(0, 4100)
                                                 : data_.ConsumeIntegral<uint32_t>();
            Trace(std::string("  ") + name + " := " + std::to_string(value));
            SetJobValue(name, REG_DWORD, &value, sizeof(value));
            return;
        }
        tempFileDamaged_ = true;
        std::string path;
        switch (data_.ConsumeIntegralInRange(0, 3)) {
            case 0: path = g_sandbox->victim.string(); break;
            case 1: path = target_.path; break;
            case 2: path = (g_sandbox->temp / "~TF0000.tmp").string(); break;
            default: path = (g_sandbox->temp / "..").string() + "/victim.tmp"; break;
        }
        SetJobValue("TempFile", REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1));
    }

    // Records a host must not send, and commands outside the table.
    void OddRecords() {
        const int32_t command = data_.ConsumeIntegralInRange(0, 8);
        switch (data_.ConsumeIntegralInRange(0, 3)) {
            case 0: {
                uint32_t result = ZUVadeZoduv(command, nullptr);
                if (!KnownStatus(result)) Fail("a null request gave " + std::to_string(result));
                break;
            }
            case 1: {
                request_.target = nullptr;
                Command(command);
                request_.target = &target_;
                break;
            }
            case 2: {
                target_.image = nullptr;
                Command(command);
                target_.image = &image_;
                break;
            }
            default: AnyCommand(data_.ConsumeIntegral<int32_t>()); break;
        }
    }

    // Any number as a command. CmdWritePalette reads as many palette entries
    // as its record claims, so a host always passes it a record that long:
    // it goes through Palette(), never with the plain image record.
    void AnyCommand(int32_t command) {
        if (command == CmdWritePalette) {
            Palette();
            return;
        }
        Command(command);
    }

    // Another key is another job: files of the jobs left open under other
    // keys are not the business of this key's CmdEndJob.
    void SetKeyPathStep() {
        Trace("key path changed");
        keyChanged_ = true;
        if (data_.ConsumeBool()) {
            SetKeyPath(kDefaultKeyPath);
            return;
        }
        std::string path = data_.ConsumeBytesAsString(data_.ConsumeIntegralInRange<size_t>(0, 256));
        memset(request_.stateKey.stateKeyPath, 0, sizeof(request_.stateKey.stateKeyPath));
        memcpy(request_.stateKey.stateKeyPath, path.data(), path.size());
    }

    void SetKeyPath(const char* path) {
        memset(request_.stateKey.stateKeyPath, 0, sizeof(request_.stateKey.stateKeyPath));
        strncpy(request_.stateKey.stateKeyPath, path, sizeof(request_.stateKey.stateKeyPath) - 1);
    }

    void SetOutput(const std::string& path) {
        memset(target_.path, 0, sizeof(target_.path));
        strncpy(target_.path, path.c_str(), sizeof(target_.path) - 1);
    }

    // A well-formed page, as a host sends it, of a small size.
    void WholePage() {
        DescribeImage(data_.ConsumeBool());
        if (Command(CmdPreparePage) != StatusOk) return;
        Prepared();
        pageWidth_ = data_.ConsumeIntegralInRange<uint32_t>(1, 200);
        const uint32_t height = data_.ConsumeIntegralInRange<uint32_t>(1, 120);
        image_.width = pageWidth_;
        image_.rows = height;
        image_.xResolution = 300;
        image_.yResolution = 300;
        if (Command(CmdBeginPage) != StatusOk) return;
        RunPalette(image_.colorKind == ColorPalette ? (image_.bitsPerPixel == 8 ? 256 : 16) : 0);
        const uint32_t bandRows = data_.ConsumeIntegralInRange<uint32_t>(1, height);
        const uint32_t rowBytes = (pageWidth_ + 7) / 8 + data_.ConsumeIntegralInRange<uint32_t>(0, 3);
        for (uint32_t row = 0; row < height; row += bandRows)
            RunBand(pageWidth_, std::min(bandRows, height - row), rowBytes, false);
        EndPage();
    }

    FuzzedDataProvider& data_;
    PluginRequest request_{};
    TargetFile target_{};
    ScanImage image_{};
    std::string outputs_[2];
    uint32_t pageWidth_ = 1;
    int32_t preparedFormat_ = FormatNone;
    bool continuing_ = false;
    bool faultsArmed_ = false;
    bool tempFileDamaged_ = false;
    bool jobValuesDamaged_ = false;
    bool keyChanged_ = false;
    bool endedJobLast_ = false;
};

}  // namespace

// The temp directory libFuzzer itself uses (fork and merge modes).
std::string g_fuzzerTemp;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_sandbox = new Sandbox;
    const char* tmp = getenv("TMPDIR");
    g_fuzzerTemp = tmp != nullptr ? tmp : "/tmp";
    setenv("ZEDUZ_REGISTRY_DIR", g_sandbox->registry.c_str(), 1);
    atexit([] { delete g_sandbox; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    g_sandbox->Clear();
    setenv("TMPDIR", (g_sandbox->temp.string() + "/").c_str(), 1);  // the plug-in's page files go there
    platform::testing::Reset();
    platform::testing::SetDialogDriver(nullptr);
    PluginProcessAttach(GetModuleHandleA(nullptr));

    Job job(data);
    job.Run();
    PluginProcessDetach();
    platform::testing::Reset();
    setenv("TMPDIR", g_fuzzerTemp.c_str(), 1);

    const std::string left = TempFilesLeft();
    if (job.endedJobLast() && !job.faultsArmed() && !job.tempFileDamaged() && !left.empty())
        Fail("files are left in the temp directory after CmdEndJob:" + left);
    if (FileBytes(g_sandbox->victim) != Bytes(kVictimText, kVictimText + strlen(kVictimText)))
        Fail("a file that is not the plug-in's was changed");
    return 0;
}
