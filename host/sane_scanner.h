// The host's side of SANE (Linux only): the devices SANE sees, and one open
// device with its options. Setup problems (no such device, an option or
// value the device lacks) throw InputError with a message for the user that
// names what the device offers instead.
#pragma once

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/sane_library.h"

struct ScannerInfo {
    std::string name;         // what --scan takes, "test:0"
    std::string description;  // "Noname frontend-tester virtual device"
};

// SANE loaded (LoadSane) and sane_init for the life of the object,
// sane_exit after it.
class SaneSession {
public:
    SaneSession();
    ~SaneSession();
    SaneSession(const SaneSession&) = delete;
    SaneSession& operator=(const SaneSession&) = delete;

    std::vector<ScannerInfo> Devices() const;
};

class SaneDevice {
public:
    // Opens `name`; an empty name opens the first device SANE sees.
    SaneDevice(const SaneSession& session, const std::string& name);
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    const std::string& Name() const { return name_; }

    bool HasOption(const std::string& option) const;
    // Sets `option` from its text form: numbers (comma-separated for lists),
    // yes/no, or a string; a button is pressed whatever the value.
    void SetOption(const std::string& option, const std::string& value);
    // A numeric option's (first) value; false when the device lacks it.
    bool NumberOption(const std::string& option, double& value) const;

    SANE_Status Start() { return Sane().start(handle_); }
    SANE_Status Parameters(SANE_Parameters& parameters) { return Sane().get_parameters(handle_, &parameters); }
    SANE_Status Read(uint8_t* out, size_t maxBytes, size_t& got);
    void Cancel() { Sane().cancel(handle_); }

private:
    // The option's index, or 0 (the option count) when there is none.
    SANE_Int Find(const std::string& option, const SANE_Option_Descriptor*& descriptor) const;
    std::string OptionNames() const;

    std::string name_;
    SANE_Handle handle_ = nullptr;
};
