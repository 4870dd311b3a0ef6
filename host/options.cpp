#include "host/options.h"

#include <cstdlib>

namespace {

constexpr uint32_t kMaxResolution = 1000000;
constexpr uint32_t kMaxBandRows = 1u << 20;
constexpr uint32_t kMaxAnnouncedRows = 999999999;

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

class ArgumentReader {
public:
    ArgumentReader(int argc, char** argv) : argc_(argc), argv_(argv) {}

    bool Done() const { return index_ >= argc_; }
    std::string Next() { return argv_[index_++]; }

    // The value of an option, either "--name=value" (already split off) or
    // the next argument.
    bool Value(const std::string& option, std::string& inlineValue, bool hasInline, std::string& value,
               std::string& error) {
        if (hasInline) {
            value = inlineValue;
            return true;
        }
        if (Done()) {
            error = "option " + option + " needs a value";
            return false;
        }
        value = Next();
        return true;
    }

private:
    int argc_;
    char** argv_;
    int index_ = 1;
};

bool ApplyValueOption(const std::string& name, const std::string& value, HostOptions& options, std::string& error) {
    bool ok = true;
    if (name == "-o" || name == "--output") {
        ok = !value.empty();
        options.output = value;
    } else if (name == "--byte-order") {
        ok = value == "intel" || value == "motorola";
        options.settings.byteOrder = value == "intel" ? kByteOrderIntel : kByteOrderMotorola;
    } else if (name == "--compression") {
        ok = value == "none" || value == "group4";
        options.settings.compression = value == "none" ? kCompressionNone : kCompressionGroup4;
    } else if (name == "--band-rows") {
        ok = ParseNumber(value, 0, kMaxBandRows, options.bandRows);
    } else if (name == "--announce-rows") {
        ok = ParseNumber(value, 1, kMaxAnnouncedRows, options.announceRows);
    } else if (name == "--dpi" || name == "--resolution") {
        ok = ParseResolution(value, options);
    } else if (name == "--plugin") {
        ok = !value.empty();
        options.pluginPath = value;
    }
    if (!ok) {
        error = "bad value \"" + value + "\" for " + name + " (see --help)";
    }
    return ok;
}

bool ApplyFlag(const std::string& name, HostOptions& options) {
    if (name == "--group4") {
        options.settings.compression = kCompressionGroup4;
    } else if (name == "--append") {
        options.append = true;
    } else if (name == "--palette4") {
        options.palette4WhenSmall = true;
    } else if (name == "-q" || name == "--quiet") {
        options.quiet = true;
    } else if (name == "-h" || name == "--help") {
        options.help = true;
    } else {
        return false;
    }
    return true;
}

bool TakesValue(const std::string& name) {
    static const char* const kValueOptions[] = {"-o",          "--output",    "--byte-order", "--compression",
                                                "--band-rows", "--dpi",       "--resolution", "--plugin",
                                                "--announce-rows"};
    for (const char* option : kValueOptions) {
        if (name == option) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    ArgumentReader reader(argc, argv);
    bool onlyFiles = false;
    while (!reader.Done()) {
        const std::string argument = reader.Next();
        if (onlyFiles || argument.size() < 2 || argument[0] != '-') {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyFiles = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const bool hasInline = argument.compare(0, 2, "--") == 0 && equals != std::string::npos;
        const std::string name = hasInline ? argument.substr(0, equals) : argument;
        std::string inlineValue = hasInline ? argument.substr(equals + 1) : std::string();
        if (TakesValue(name)) {
            std::string value;
            if (!reader.Value(name, inlineValue, hasInline, value, error) ||
                !ApplyValueOption(name, value, options, error)) {
                return false;
            }
        } else if (hasInline || !ApplyFlag(name, options)) {
            error = "unknown option " + argument + " (see --help)";
            return false;
        }
    }
    if (options.output.empty()) {
        options.output = options.inputs.empty() ? "demo.tif" : "out.tif";
    }
    return true;
}

std::string UsageText(const char* program) {
    return std::string("Usage: ") + program +
           " [options] [image ...]\n"
           "\n"
           "Writes the images (PNM P1-P6, PNG) as the pages of one multi-page TIFF file,\n"
           "scanning each through the TIFF plug-in page by page and band by band.\n"
           "Without images, writes a built-in demo document of several page formats.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE          output file (default: demo.tif, or out.tif with images)\n"
           "      --append               add the pages to the end of an existing FILE\n"
           "      --byte-order ORDER     intel (II) or motorola (MM); stored as the user's setting\n"
           "      --compression KIND     black and white pages: none or group4 (CCITT T.6);\n"
           "                             stored as the user's setting\n"
           "      --group4               same as --compression group4\n"
           "      --band-rows N          rows per band handed to the plug-in (default 64; 0 = whole page)\n"
           "      --announce-rows N      begin every page announcing N rows, then deliver the image's own\n"
           "                             rows, as a scanner that does not know the page's length does\n"
           "      --dpi N, --resolution X[,Y]\n"
           "                             resolution in pixels per inch (default 300)\n"
           "      --palette4             store palette images of up to 16 colours as 4-bit palette pages\n"
           "      --plugin PATH          the plug-in library (default: the one beside this program)\n"
           "  -q, --quiet                print errors only\n"
           "  -h, --help                 show this text\n"
           "\n"
           "Settings not given on the command line keep the values stored by earlier runs\n"
           "(first use: intel, none). Exit status: 0 success, 1 a page failed, 2 bad command\n"
           "line or unreadable input.\n";
}
