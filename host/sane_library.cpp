#include "host/sane_library.h"

#include <dlfcn.h>

#include <cstring>

#include "host/image.h"

namespace {

// The run-time name of the library libsane-dev links (SONAME).
constexpr char kSaneLibrary[] = "libsane.so.1";

SaneLibrary g_sane{};
bool g_loaded = false;

template <typename Function>
void Take(void* library, const char* name, Function& function) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) {
        throw InputError(std::string("cannot use SANE: ") + kSaneLibrary + " has no " + name);
    }
    std::memcpy(&function, &symbol, sizeof function);
}

}  // namespace

const SaneLibrary& LoadSane() {
    if (g_loaded) {
        return g_sane;
    }
    // Kept loaded to the end of the process: backends may leave threads and
    // handlers behind.
    void* library = dlopen(kSaneLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        throw InputError(std::string("cannot load SANE (") + kSaneLibrary +
                         "; install libsane1): " + (why != nullptr ? why : "unknown error"));
    }
    SaneLibrary sane{};
    Take(library, "sane_init", sane.init);
    Take(library, "sane_exit", sane.exit);
    Take(library, "sane_get_devices", sane.get_devices);
    Take(library, "sane_open", sane.open);
    Take(library, "sane_close", sane.close);
    Take(library, "sane_get_option_descriptor", sane.get_option_descriptor);
    Take(library, "sane_control_option", sane.control_option);
    Take(library, "sane_get_parameters", sane.get_parameters);
    Take(library, "sane_start", sane.start);
    Take(library, "sane_read", sane.read);
    Take(library, "sane_cancel", sane.cancel);
    Take(library, "sane_strstatus", sane.strstatus);
    g_sane = sane;
    g_loaded = true;
    return g_sane;
}

const SaneLibrary& Sane() { return g_sane; }
