// The host's command line, parsed with CLI11. Each group of --help is added
// by a function of its own, so that a front end with more options adds its
// groups (or subcommands) beside these without touching them.
#include "host/options.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

constexpr uint32_t kMaxResolution = 1000000;
constexpr uint32_t kMaxBandRows = 1u << 20;
constexpr uint32_t kMaxAnnouncedRows = 999999999;

// The groups of --help, shown in this order.
constexpr char kInputOutput[] = "Input and output";
constexpr char kPageFormat[] = "Page format";
constexpr char kCompression[] = "Compression and byte order";
constexpr char kResolution[] = "Resolution and bands";
constexpr char kScanner[] = "Scanner (SANE)";
constexpr char kOther[] = "Other";

bool ParseNumber(const std::string& text, uint32_t low, uint32_t high, uint32_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) {
        return false;
    }
    const unsigned long parsed = std::strtoul(text.c_str(), nullptr, 10);
    if (parsed < low || parsed > high) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

// "X" or "X,Y" pixels per inch.
bool ParseResolution(const std::string& text, HostOptions& options) {
    const size_t comma = text.find(',');
    const std::string x = text.substr(0, comma);
    const std::string y = comma == std::string::npos ? x : text.substr(comma + 1);
    return ParseNumber(x, 1, kMaxResolution, options.xResolution) &&
           ParseNumber(y, 1, kMaxResolution, options.yResolution);
}

// Takes one value as the command line gives it; false when it is not one
// the option accepts.
using ApplyValue = std::function<bool(const std::string&)>;

// An option with one value. It is applied as soon as it is read, so that of
// two options setting the same thing the later one wins, whatever their
// kind (--group4 then --compression none stores none), as a repeated option
// does.
CLI::Option* AddValueOption(CLI::App& app, const std::string& names, const std::string& valueName,
                            const std::string& help, const std::string& group, ApplyValue apply) {
    // Messages name the option by its last (long) name.
    const std::string shownName = names.substr(names.find_last_of(',') + 1);
    const auto take = [apply, shownName](const std::string& value) {
        if (!apply(value)) {
            throw CLI::ValidationError("bad value \"" + value + "\" for " + shownName + " (see --help)");
        }
    };
    return app.add_option_function<std::string>(names, take, help)
        ->type_name(valueName)
        ->group(group)
        ->trigger_on_parse();
}

CLI::Option* AddFlag(CLI::App& app, const std::string& names, const std::string& help, const std::string& group,
                     std::function<void()> apply) {
    return app.add_flag_callback(names, std::move(apply), help)->group(group)->trigger_on_parse();
}

void AddInputOutputOptions(CLI::App& app, HostOptions& options) {
    app.add_option("image", options.inputs,
                   "PNM (P1-P6) or PNG files, a page per image\n(none: the built-in demo document)")
        ->type_name("");
    AddValueOption(app, "-o,--output", "FILE", "output file (default: demo.tif, or out.tif with\nimages)", kInputOutput,
                   [&options](const std::string& value) {
                       options.output = value;
                       return !value.empty();
                   });
    AddFlag(app, "--append", "add the pages to the end of an existing FILE", kInputOutput,
            [&options] { options.append = true; });
}

void AddPageFormatOptions(CLI::App& app, HostOptions& options) {
    AddFlag(app, "--palette4", "store palette images of up to 16 colours as\n4-bit palette pages", kPageFormat,
            [&options] { options.palette4WhenSmall = true; });
}

// Group 4 and Group 3 are choices for black-and-white pages, LZW, Deflate and
// JPEG for all others; each leaves the other setting as it is. PackBits, like
// none, is a choice of both.
bool ApplyCompression(const std::string& value, HostOptions& options) {
    UserSettings& settings = options.settings;
    if (value == "none") {
        settings.compression = CompressionNone;
        settings.colorCompression = CompressionNone;
    } else if (value == "group4") {
        settings.compression = CompressionGroup4;
    } else if (value == "lzw" || value == "deflate") {
        settings.colorCompression = value == "lzw" ? CompressionLzw : CompressionDeflate;
    } else if (value == "jpeg") {
        settings.colorCompression = CompressionJpeg;
    } else if (value == "g3-1d" || value == "g3-2d") {
        settings.compression = value == "g3-1d" ? CompressionGroup3OneD : CompressionGroup3TwoD;
    } else if (value == "packbits") {
        settings.compression = CompressionPackBits;
        settings.colorCompression = CompressionPackBits;
    } else {
        return false;
    }
    return true;
}

void AddCompressionOptions(CLI::App& app, HostOptions& options) {
    AddValueOption(app, "--byte-order", "ORDER", "intel (II) or motorola (MM); appending\nwithout it: the file's own",
                   kCompression, [&options](const std::string& value) {
                       options.settings.byteOrder = value == "intel" ? ByteOrderIntel : ByteOrderMotorola;
                       return value == "intel" || value == "motorola";
                   });
    AddValueOption(app, "--compression", "KIND",
                   "group4 (CCITT T.6): black and white pages;\nlzw or deflate: all other pages (lossless);\n"
                   "jpeg: 8-bit grey and 24-bit colour pages\n(lossy), deflate for 16-bit, 4-bit and\npalette pages;\n"
                   "g3-1d or g3-2d (CCITT T.4): black and white\npages; packbits: every page (lossless);\n"
                   "none: every page uncompressed",
                   kCompression, [&options](const std::string& value) { return ApplyCompression(value, options); });
    AddValueOption(app, "--jpeg-quality", "N", "quality of JPEG pages, 1 to 100 (default 90)", kCompression,
                   [&options](const std::string& value) {
                       const bool digits = !value.empty() && value.size() <= 3 &&
                                           value.find_first_not_of("0123456789") == std::string::npos;
                       const unsigned quality = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
                       if (quality < kMinJpegQuality || quality > kMaxJpegQuality) return false;
                       options.settings.jpegQuality = quality;
                       return true;
                   });
    AddFlag(app, "--group4", "same as --compression group4", kCompression,
            [&options] { options.settings.compression = CompressionGroup4; });
    AddFlag(app, "--bigtiff",
            "write a new file as BigTIFF, which may pass\n4 GB (default: classic TIFF, up to 4 GB);\n"
            "appending: the file must be BigTIFF",
            kCompression, [&options] { options.settings.fileKind = FileKindBigTiff; });
    AddFlag(app, "--save-settings",
            "store the byte order and compression given\nas the user's settings, the defaults of\nlater runs",
            kCompression, [&options] { options.saveSettings = true; });
}

void AddResolutionOptions(CLI::App& app, HostOptions& options) {
    const auto resolution = [&options](const std::string& value) {
        options.resolutionGiven = true;
        return ParseResolution(value, options);
    };
    AddValueOption(app, "--dpi", "N", "resolution in pixels per inch (default 300)", kResolution, resolution);
    AddValueOption(app, "--resolution", "X[,Y]", "the same, X across and Y down", kResolution, resolution);
    AddValueOption(
        app, "--band-rows", "N",
        "rows per band handed to the plug-in\n(default: about 1 MiB of rows, in 16s,\nat least 64; 0 = whole page)",
        kResolution,
        [&options](const std::string& value) { return ParseNumber(value, 0, kMaxBandRows, options.bandRows); });
    AddValueOption(app, "--announce-rows", "N",
                   "begin every page announcing N rows, then deliver\nthe image's own rows, as a scanner that does\n"
                   "not know the page's length does",
                   kResolution, [&options](const std::string& value) {
                       return ParseNumber(value, 1, kMaxAnnouncedRows, options.announceRows);
                   });
}

// A text the scanner checks itself (it names what it offers when it refuses).
ApplyValue StoreText(std::string& field) {
    return [&field](const std::string& value) {
        field = value;
        return !value.empty();
    };
}

void AddScannerOptions(CLI::App& app, HostOptions& options) {
    ScanOptions& scan = options.scan;
    AddFlag(app, "--list-scanners", "list the scanners SANE sees", kScanner,
            [&options] { options.listScanners = true; });
    app.add_option_function<std::string>(
           "--scan", [&scan](const std::string& device) { scan.device = device; },
           "scan pages from DEVICE (default: the first\nscanner) instead of reading images")
        ->expected(0, 1)
        ->type_name("[DEVICE]")
        ->group(kScanner)
        ->trigger_on_parse();
    AddFlag(app, "--batch", "scan every sheet of the feeder until it is\nempty (default: one page)", kScanner,
            [&scan] { scan.batch = true; });
    AddValueOption(app, "--source", "NAME", "the scanner's source (Flatbed, ADF, ...)", kScanner,
                   StoreText(scan.source));
    AddValueOption(app, "--mode", "MODE", "Lineart, Gray or Color, as the scanner names\nthem", kScanner,
                   StoreText(scan.mode));
    AddValueOption(app, "--depth", "BITS", "bits per sample (1, 8, 16)", kScanner, [&scan](const std::string& value) {
        uint32_t bits = 0;
        scan.depth = value;
        return ParseNumber(value, 1, 64, bits);
    });
    AddValueOption(app, "--scan-option", "NAME=VALUE",
                   "any other option of the scanner (repeatable;\nlists comma-separated); --resolution and\n"
                   "--dpi set the scanner's resolution",
                   kScanner, [&scan](const std::string& value) {
                       scan.deviceOptions.push_back(value);
                       return value.find('=') != std::string::npos && value.front() != '=';
                   });
}

void AddOtherOptions(CLI::App& app, HostOptions& options) {
    AddValueOption(app, "--plugin", "PATH",
                   "the plug-in library (default: the one beside\nthis program, else the installed one)", kOther,
                   [&options](const std::string& value) {
                       options.pluginPath = value;
                       return !value.empty();
                   });
    AddFlag(app, "-q,--quiet", "print errors only", kOther, [&options] { options.quiet = true; });
    AddFlag(app, "-V,--version", "show the version of this program and of the\nplug-in", kOther,
            [&options] { options.version = true; });
    app.set_help_flag("-h,--help", "show this text")->group(kOther);
}

// The whole command line, its values landing in `options`.
std::unique_ptr<CLI::App> MakeCommandLine(const std::string& program, HostOptions& options) {
    auto app = std::make_unique<CLI::App>(
        "Writes the images (PNM P1-P6, PNG) as the pages of one multi-page TIFF file,\n"
        "scanning each through the TIFF plug-in page by page and band by band.\n"
        "Without images, writes a built-in demo document of several page formats.\n"
        "With --scan, the pages come straight from a scanner through SANE.\n",
        program);
    app->footer(
        "Options apply to this run only. Byte order and compression not given are the\n"
        "user's stored settings (the settings dialog's, or those of --save-settings;\n"
        "first use: intel, none). An image \"-\" is read from standard input. A second\n"
        "job on the same output file waits for the first, then goes on. Exit status:\n"
        "0 success, 1 a page failed, 2 bad command line, input or output.");
    app->get_formatter()->column_width(30);
    app->get_formatter()->label("Positionals", "Images");
    // Options that are not ours are reported by ParseOptions, in its words.
    app->allow_extras();
    // --append=yes is no way of saying --append.
    app->option_defaults()->disable_flag_override();
    AddInputOutputOptions(*app, options);
    AddPageFormatOptions(*app, options);
    AddCompressionOptions(*app, options);
    AddResolutionOptions(*app, options);
    AddScannerOptions(*app, options);
    AddOtherOptions(*app, options);
    return app;
}

bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// CLI11's reason for a refused command line, in the words of the host.
std::string DescribeParseError(const CLI::ParseError& failure) {
    const std::string text = failure.what();
    if (dynamic_cast<const CLI::ValidationError*>(&failure) != nullptr) {
        return text;  // our own words, from AddValueOption
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&failure) != nullptr) {
        // "--output: 1 required FILE missing": the command line ends where
        // the option's value should be.
        const size_t colon = text.find(':');
        if (colon != std::string::npos && EndsWith(text, " missing")) {
            return "option " + text.substr(0, colon) + " needs a value (see --help)";
        }
        // "append was given a disallowed flag override": --append=yes.
        const std::string flagWithValue = " was given a disallowed flag override";
        if (EndsWith(text, flagWithValue)) {
            return "option --" + text.substr(0, text.size() - flagWithValue.size()) + " takes no value (see --help)";
        }
    }
    return text + " (see --help)";
}

}  // namespace

bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    std::unique_ptr<CLI::App> app = MakeCommandLine("zeduz-tiff", options);
    try {
        app->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return true;
    } catch (const CLI::ParseError& failure) {
        error = DescribeParseError(failure);
        return false;
    }
    // CLI11 keeps the "--" that ends the options among the arguments it
    // could not place; the others are options the host does not have.
    for (const std::string& unknown : app->remaining()) {
        if (unknown != "--") {
            error = "unknown option " + unknown + " (see --help)";
            return false;
        }
    }
    options.scan.scan = app->count("--scan") > 0;
    if (options.scan.scan && !options.inputs.empty()) {
        error = "--scan takes pages from the scanner, not from " + options.inputs.front();
        return false;
    }
    if (options.output.empty()) {
        options.output = options.inputs.empty() && !options.scan.scan ? "demo.tif" : "out.tif";
    }
    return true;
}

std::string UsageText(const char* program) {
    HostOptions unused;
    std::string text = MakeCommandLine(program, unused)->help();
    // CLI11 leaves two blank lines between groups; one is enough.
    for (size_t at = text.find("\n\n\n"); at != std::string::npos; at = text.find("\n\n\n", at)) {
        text.erase(at, 1);
    }
    return text;
}
