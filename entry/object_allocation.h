// Allocation of the plug-in's own objects (the plug-in object, dialogs).
// A failed allocation yields nullptr, never an exception; test builds can
// make it fail on purpose.
#pragma once

#include <new>
#include <utility>

#ifdef ZEDUZ_FAULT_INJECTION
#include "platform/testing.h"
#endif

template <typename T, typename... Args>
T* NewObject(Args&&... args) {
#ifdef ZEDUZ_FAULT_INJECTION
    if (platform::testing::ConsumeFault(platform::testing::Service::ObjectAlloc)) return nullptr;
#endif
    return new (std::nothrow) T(std::forward<Args>(args)...);
}
