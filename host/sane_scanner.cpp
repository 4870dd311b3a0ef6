#include "host/sane_scanner.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/image.h"

namespace {

std::string Text(const char* text) { return text != nullptr ? text : ""; }

std::string FormatWord(SANE_Value_Type type, SANE_Word word) {
    if (type != SANE_TYPE_FIXED) {
        return std::to_string(word);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", SANE_UNFIX(word));
    return text;
}

// What the device accepts for an option, as the user would type it.
std::string Offers(const SANE_Option_Descriptor& descriptor) {
    std::string offers;
    switch (descriptor.constraint_type) {
        case SANE_CONSTRAINT_STRING_LIST:
            for (const SANE_String_Const* value = descriptor.constraint.string_list; *value != nullptr; ++value) {
                offers += (offers.empty() ? "" : ", ") + Text(*value);
            }
            return offers;
        case SANE_CONSTRAINT_WORD_LIST:
            for (SANE_Word i = 1; i <= descriptor.constraint.word_list[0]; ++i) {
                offers +=
                    (offers.empty() ? "" : ", ") + FormatWord(descriptor.type, descriptor.constraint.word_list[i]);
            }
            return offers;
        case SANE_CONSTRAINT_RANGE: {
            const SANE_Range& range = *descriptor.constraint.range;
            offers = FormatWord(descriptor.type, range.min) + ".." + FormatWord(descriptor.type, range.max);
            if (range.quant != 0) {
                offers += " in steps of " + FormatWord(descriptor.type, range.quant);
            }
            return offers;
        }
        default: break;
    }
    switch (descriptor.type) {
        case SANE_TYPE_BOOL: return "yes, no";
        case SANE_TYPE_INT: return "whole numbers";
        case SANE_TYPE_FIXED: return "numbers";
        default: return "any text";
    }
}

bool WordAllowed(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    if (descriptor.constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range& range = *descriptor.constraint.range;
        return word >= range.min && word <= range.max && (range.quant == 0 || (word - range.min) % range.quant == 0);
    }
    if (descriptor.constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        for (SANE_Word i = 1; i <= descriptor.constraint.word_list[0]; ++i) {
            if (descriptor.constraint.word_list[i] == word) {
                return true;
            }
        }
        return false;
    }
    return true;
}

bool ParseWord(SANE_Value_Type type, const std::string& text, SANE_Word& word) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    if (type == SANE_TYPE_FIXED) {
        const double value = std::strtod(text.c_str(), &end);
        if (*end != '\0' || errno != 0 || !(std::fabs(value) < 32767.0)) {
            return false;
        }
        word = SANE_FIX(value);
        return true;
    }
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) {
        return false;
    }
    word = static_cast<SANE_Word>(value);
    return true;
}

bool ParseBool(const std::string& text, SANE_Word& word) {
    for (const char* yes : {"yes", "true", "on", "1"}) {
        if (strcasecmp(text.c_str(), yes) == 0) {
            word = SANE_TRUE;
            return true;
        }
    }
    for (const char* no : {"no", "false", "off", "0"}) {
        if (strcasecmp(text.c_str(), no) == 0) {
            word = SANE_FALSE;
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
        parts.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

SaneSession::SaneSession() {
    SANE_Int version = 0;
    const SANE_Status status = LoadSane().init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
        throw InputError(std::string("cannot start SANE: ") + Sane().strstatus(status));
    }
}

SaneSession::~SaneSession() { Sane().exit(); }

std::vector<ScannerInfo> SaneSession::Devices() const {
    const SANE_Device** devices = nullptr;
    const SANE_Status status = Sane().get_devices(&devices, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        throw InputError(std::string("cannot list the scanners: ") + Sane().strstatus(status));
    }
    std::vector<ScannerInfo> found;
    for (const SANE_Device** device = devices; *device != nullptr; ++device) {
        const SANE_Device& info = **device;
        found.push_back({Text(info.name), Text(info.vendor) + " " + Text(info.model) + " " + Text(info.type)});
    }
    return found;
}

SaneDevice::SaneDevice(const SaneSession& session, const std::string& name) : name_(name) {
    if (name_.empty()) {
        const std::vector<ScannerInfo> devices = session.Devices();
        if (devices.empty()) {
            throw InputError("no scanner found (see --list-scanners)");
        }
        name_ = devices.front().name;
    }
    const SANE_Status status = Sane().open(name_.c_str(), &handle_);
    if (status != SANE_STATUS_GOOD) {
        throw InputError("cannot open the scanner " + name_ + ": " + Sane().strstatus(status) +
                         " (see --list-scanners)");
    }
}

SaneDevice::~SaneDevice() {
    Sane().cancel(handle_);
    Sane().close(handle_);
}

SANE_Int SaneDevice::Find(const std::string& option, const SANE_Option_Descriptor*& descriptor) const {
    SANE_Int index = 1;
    for (; (descriptor = Sane().get_option_descriptor(handle_, index)) != nullptr; ++index) {
        if (descriptor->name != nullptr && option == descriptor->name && descriptor->type != SANE_TYPE_GROUP) {
            return index;
        }
    }
    return 0;
}

std::string SaneDevice::OptionNames() const {
    std::string names;
    const SANE_Option_Descriptor* descriptor = nullptr;
    for (SANE_Int index = 1; (descriptor = Sane().get_option_descriptor(handle_, index)) != nullptr; ++index) {
        if (descriptor->name != nullptr && *descriptor->name != '\0' && descriptor->type != SANE_TYPE_GROUP &&
            SANE_OPTION_IS_ACTIVE(descriptor->cap) && SANE_OPTION_IS_SETTABLE(descriptor->cap)) {
            names += (names.empty() ? "" : ", ") + std::string(descriptor->name);
        }
    }
    return names;
}

bool SaneDevice::HasOption(const std::string& option) const {
    const SANE_Option_Descriptor* descriptor = nullptr;
    return Find(option, descriptor) != 0;
}

void SaneDevice::SetOption(const std::string& option, const std::string& value) {
    const SANE_Option_Descriptor* found = nullptr;
    const SANE_Int index = Find(option, found);
    const std::string where = "the scanner " + name_;
    if (index == 0) {
        throw InputError(where + " has no option \"" + option + "\"; it offers: " + OptionNames());
    }
    const SANE_Option_Descriptor& descriptor = *found;
    if (!SANE_OPTION_IS_ACTIVE(descriptor.cap) || !SANE_OPTION_IS_SETTABLE(descriptor.cap)) {
        throw InputError("option \"" + option + "\" of " + where + " cannot be set with the other settings given" +
                         " (settable now: " + OptionNames() + ")");
    }
    const std::string refused = where + " has no " + option + " \"" + value + "\"; it offers: " + Offers(descriptor);
    std::vector<SANE_Word> words;
    std::string text;
    void* data = nullptr;
    if (descriptor.type == SANE_TYPE_STRING) {
        text = value;
        if (descriptor.constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            // Matched without regard to case; the device gets its own spelling.
            text.clear();
            for (const SANE_String_Const* offered = descriptor.constraint.string_list; *offered != nullptr; ++offered) {
                if (strcasecmp(*offered, value.c_str()) == 0) {
                    text = *offered;
                }
            }
        }
        if (text.empty() || text.size() >= static_cast<size_t>(descriptor.size)) {
            throw InputError(refused);
        }
        text.resize(static_cast<size_t>(descriptor.size), '\0');
        data = &text[0];
    } else if (descriptor.type != SANE_TYPE_BUTTON) {
        const size_t count = std::max<size_t>(1, static_cast<size_t>(descriptor.size) / sizeof(SANE_Word));
        const std::vector<std::string> parts = SplitCommas(value);
        // One value for a list sets every element.
        if (parts.size() != 1 && parts.size() != count) {
            throw InputError("option \"" + option + "\" of " + where + " takes " + std::to_string(count) +
                             " comma-separated values");
        }
        for (size_t i = 0; i < count; ++i) {
            SANE_Word word = 0;
            const std::string& part = parts[parts.size() == 1 ? 0 : i];
            const bool parsed =
                descriptor.type == SANE_TYPE_BOOL ? ParseBool(part, word) : ParseWord(descriptor.type, part, word);
            if (!parsed || !WordAllowed(descriptor, word)) {
                throw InputError(refused);
            }
            words.push_back(word);
        }
        data = words.data();
    }
    SANE_Int info = 0;
    const SANE_Status status = Sane().control_option(handle_, index, SANE_ACTION_SET_VALUE, data, &info);
    if (status != SANE_STATUS_GOOD) {
        throw InputError(where + " refused " + option + " \"" + value + "\": " + Sane().strstatus(status) +
                         "; it offers: " + Offers(descriptor));
    }
}

bool SaneDevice::NumberOption(const std::string& option, double& value) const {
    const SANE_Option_Descriptor* descriptor = nullptr;
    const SANE_Int index = Find(option, descriptor);
    if (index == 0 || !SANE_OPTION_IS_ACTIVE(descriptor->cap) ||
        (descriptor->type != SANE_TYPE_INT && descriptor->type != SANE_TYPE_FIXED)) {
        return false;
    }
    std::vector<SANE_Word> words(std::max<size_t>(1, static_cast<size_t>(descriptor->size) / sizeof(SANE_Word)));
    if (Sane().control_option(handle_, index, SANE_ACTION_GET_VALUE, words.data(), nullptr) != SANE_STATUS_GOOD) {
        return false;
    }
    value = descriptor->type == SANE_TYPE_FIXED ? SANE_UNFIX(words[0]) : words[0];
    return true;
}

SANE_Status SaneDevice::Read(uint8_t* out, size_t maxBytes, size_t& got) {
    SANE_Int length = 0;
    const SANE_Int most = static_cast<SANE_Int>(std::min<size_t>(maxBytes, INT32_MAX));
    const SANE_Status status = Sane().read(handle_, out, most, &length);
    got = status == SANE_STATUS_GOOD && length > 0 ? static_cast<size_t>(length) : 0;
    return status;
}
