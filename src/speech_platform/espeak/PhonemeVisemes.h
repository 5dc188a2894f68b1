#pragma once

#include <string_view>

namespace kestrel {

/// A phone of the American English phone set that voice events report: its name
/// ("aa", "sh", "_" for silence), its phone id (the phone's number in that set,
/// 7 for silence, 10 "aa" to 49 "zh" in alphabetical order) and its viseme, the
/// mouth shape 0 to 21 of the standard viseme set (0 silence, 1 ae/ax/ah, 2 aa,
/// 3 ao, 4 ey/eh/uh, 5 er, 6 y/iy/ih/ix, 7 w/uw, 8 ow, 9 aw, 10 oy, 11 ay, 12 h,
/// 13 r, 14 l, 15 s/z, 16 sh/ch/jh/zh, 17 th/dh, 18 f/v, 19 d/t/n, 20 k/g/ng,
/// 21 p/b/m).
struct StandardPhone
{
    std::string_view name;
    int phoneId;
    int viseme;
};

/// The viseme of a standard phone name, or -1 when `phone` is not one.
int visemeOfPhone(std::string_view phone);

/// The standard phone closest to one of eSpeak NG's phoneme mnemonics ("aI",
/// "tS", "3:", "_:"), as its phoneme events report them. English mnemonics are
/// mapped one by one; those of other languages fall back on their base letter.
/// Returns nullptr for symbols that carry no mouth shape of their own (eSpeak's
/// modifiers such as ";") and for anything unknown, so no viseme is invented.
const StandardPhone *standardPhoneForEspeak(std::string_view mnemonic);

} // namespace kestrel
