#pragma once

namespace kestrel {
inline constexpr const char *kVersionText = "Version 2.1";
}
