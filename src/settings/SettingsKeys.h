#pragma once

#include "settings/SettingsBinding.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace kestrel {

/// How a key's value text becomes the control's value on load.
enum class SettingConversion {
    LeadingNumber, ///< the number the text starts with (0 if none), halves to even, 16-bit
    WholeNumber16, ///< the whole text must be a number; rounded down, 16-bit
    WholeNumber32, ///< as WholeNumber16, 32-bit
    Text,          ///< the text unchanged
};

inline constexpr int SettingKeyCount = 14;
using SettingKeyOrder = std::array<SettingKey, SettingKeyCount>;

/// The keys in table order: the order in which a save appends missing keys.
const SettingKeyOrder &saveKeyOrder();
/// The order in which a loaded line is tested against the keys.
const SettingKeyOrder &loadKeyOrder();

/// The key as written in the file ("VOICECB", ...).
QString settingKeyName(SettingKey key);
SettingConversion settingConversion(SettingKey key);
inline bool isTextSetting(SettingKey key)
{
    return settingConversion(key) == SettingConversion::Text;
}

struct KeyLineMatch
{
    SettingKey key;
    qsizetype valueStart; ///< 0-based index of the value's first character in the line
};

/// The key whose line this is, tested in `order`. A key line starts with the
/// key's name followed by "="; letter case and blanks before the name and before
/// the "=" do not matter. A key name elsewhere in the line (say inside another
/// key's text) does not make it that key's line.
std::optional<KeyLineMatch> matchKeyLine(QStringView line, const SettingKeyOrder &order);

} // namespace kestrel
