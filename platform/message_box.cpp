// MessageBoxA: the Linux stand-in has no windows, so the box is a line on
// standard error; test builds also record it for the tests to inspect.
#include <cstdio>

#include "platform/testing.h"

#ifdef ZEDUZ_FAULT_INJECTION
namespace platform::testing {

std::vector<MessageBoxRecord>& MessageBoxes() {
    static std::vector<MessageBoxRecord> boxes;
    return boxes;
}

}  // namespace platform::testing
#endif

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const char* shownCaption = caption != nullptr ? caption : "Error";
    const char* shownText = text != nullptr ? text : "";
    fprintf(stderr, "%s: %s\n", shownCaption, shownText);
#ifdef ZEDUZ_FAULT_INJECTION
    platform::testing::MessageBoxes().push_back({owner, shownCaption, shownText, type});
#endif
    return IDOK;
}
