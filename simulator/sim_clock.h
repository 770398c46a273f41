// Local time of the simulated machine: milliseconds since 1970-01-01 00:00,
// with no time zone of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace sim {

// "YYYY-MM-DDTHH:MM:SS.mmm" to milliseconds; nullopt when malformed.
std::optional<std::int64_t> ParseClock(const std::string& szText);
platform::LocalTime ToLocalTime(std::int64_t nMs);

}  // namespace sim
