// Hooks through which the test controls of platform/testing.h reach the
// services. Without ZEDUZ_FAULT_INJECTION every hook is a constant, so the
// services carry no test code at all.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/testing.h"

namespace platform::hooks {

using Service = platform::testing::Service;

// What the free-space queries report.
enum class FreeSpaceMode { Real, Injected, Unknown };

#ifdef ZEDUZ_FAULT_INJECTION

// Counts the call and tells whether it is to fail.
bool ShouldFail(Service service);
// Takes `bytes` from the write budget; false (and nothing taken) when the
// budget cannot cover them.
bool ChargeWrite(uint64_t bytes);
FreeSpaceMode FreeSpaceSetting(uint64_t* injectedBytes);
bool ExtendedFreeSpaceQueryAvailable();
bool IsLeadByte(uint8_t value);

#else

inline constexpr bool ShouldFail(Service) { return false; }
inline constexpr bool ChargeWrite(uint64_t) { return true; }
inline FreeSpaceMode FreeSpaceSetting(uint64_t*) { return FreeSpaceMode::Real; }
inline constexpr bool ExtendedFreeSpaceQueryAvailable() { return true; }
inline constexpr bool IsLeadByte(uint8_t) { return false; }

#endif

}  // namespace platform::hooks
