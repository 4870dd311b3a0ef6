// Fuzz target (c): splitting resource strings into fields.
//
// An input sets the ANSI code page's lead bytes, the caller's field count
// and buffer size, and the text of the resource string; SplitResourceString
// loads and splits it into a buffer of exactly that size. Every field must
// be text inside the buffer; without double-byte characters the fields
// must be the text's comma-separated parts ('$' standing for ',' in all but
// the last).
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"
#include "ui/resource_strings.h"

extern "C" void zeduz_fuzz_set_string(unsigned id, const char* text);

namespace {

constexpr UINT kStringId = 3001;

[[noreturn]] void Fail(const char* what) {
    fprintf(stderr, "resource string fuzz: %s\n", what);
    abort();
}

// The resource library beside this program, loaded once.
HMODULE ResourceLibrary() {
    static HMODULE module = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&zeduz_fuzz_set_string), &info);
        HMODULE loaded = info.dli_fname != nullptr ? LoadLibraryA(info.dli_fname) : nullptr;
        if (loaded == nullptr) Fail("cannot load the resource library");
        return loaded;
    }();
    return module;
}

// The fields a single-byte text splits into.
std::vector<std::string> ExpectedFields(const std::string& text, int maxFields) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<int>(fields.size()) == maxFields) {
            fields.back() += text.substr(i);
            break;
        }
        if (text[i] == ',')
            fields.emplace_back();
        else
            fields.back() += text[i] == '$' ? ',' : text[i];
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    std::vector<uint8_t> leadBytes = data.ConsumeBytes<uint8_t>(data.ConsumeIntegralInRange<size_t>(0, 4));
    const int maxFields = data.ConsumeIntegralInRange<int>(1, 8);
    const int bufferSize = data.ConsumeIntegralInRange<int>(1, 300);
    const bool present = data.ConsumeProbability<float>() < 0.95f;
    const std::string text = data.ConsumeRemainingBytesAsString().c_str();

    platform::testing::SetLeadBytes(leadBytes);
    SetResourceModule(ResourceLibrary());
    zeduz_fuzz_set_string(present ? kStringId : kStringId + 1, text.c_str());

    // Exactly the caller's sizes, so that a step past either one is seen.
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    std::unique_ptr<char*[]> fields(new char*[maxFields]);
    const int found = SplitResourceString(kStringId, maxFields, buffer.get(), bufferSize, fields.get());
    SetResourceModule(nullptr);

    if (found < 1 || found > maxFields) Fail("field count out of range");
    const char* const begin = buffer.get();
    const char* const end = begin + bufferSize;
    for (int f = 0; f < maxFields; ++f) {
        if (fields[f] < begin || fields[f] >= end) Fail("field outside the buffer");
        if (memchr(fields[f], '\0', static_cast<size_t>(end - fields[f])) == nullptr) Fail("field not terminated");
        if (f > 0 && fields[f] < fields[f - 1]) Fail("fields out of order");
        if (f >= found && *fields[f] != '\0') Fail("a field not found is not empty");
    }

    if (!leadBytes.empty()) return 0;
    const std::string loaded = present ? text.substr(0, static_cast<size_t>(bufferSize - 1)) : std::string();
    const std::vector<std::string> expected = ExpectedFields(loaded, maxFields);
    if (found != static_cast<int>(expected.size())) Fail("wrong number of fields");
    for (int f = 0; f < found; ++f) {
        if (expected[f] != fields[f]) Fail("field text differs");
    }
    return 0;
}
