#include "speech_platform/espeak/PhonemeVisemes.h"

namespace kestrel {
namespace {

constexpr StandardPhone kPhones[] = {
    {"_", 7, 0},   {"aa", 10, 2},  {"ae", 11, 1},  {"ah", 12, 1},  {"ao", 13, 3},  {"aw", 14, 9},
    {"ax", 15, 1}, {"ay", 16, 11}, {"b", 17, 21},  {"ch", 18, 16}, {"d", 19, 19},  {"dh", 20, 17},
    {"eh", 21, 4}, {"er", 22, 5},  {"ey", 23, 4},  {"f", 24, 18},  {"g", 25, 20},  {"h", 26, 12},
    {"ih", 27, 6}, {"iy", 28, 6},  {"jh", 29, 16}, {"k", 30, 20},  {"l", 31, 14},  {"m", 32, 21},
    {"n", 33, 19}, {"ng", 34, 20}, {"ow", 35, 8},  {"oy", 36, 10}, {"p", 37, 21},  {"r", 38, 13},
    {"s", 39, 15}, {"sh", 40, 16}, {"t", 41, 19},  {"th", 42, 17}, {"uh", 43, 4},  {"uw", 44, 7},
    {"v", 45, 18}, {"w", 46, 7},   {"y", 47, 6},   {"z", 48, 15},  {"zh", 49, 16},
};

const StandardPhone *findPhone(std::string_view name)
{
    for (const StandardPhone &phone : kPhones) {
        if (phone.name == name)
            return &phone;
    }
    return nullptr;
}

struct MnemonicRow
{
    std::string_view espeak;
    std::string_view phone;
};

// eSpeak NG's English phonemes (its phoneme tables for en and en-us) with the
// American English phone that shapes the mouth the same way. Where British and
// American vowels differ ("0", "aa") the American one is taken, as the program's
// default voice is American.
constexpr MnemonicRow kEnglish[] = {
    // pauses
    {"_", "_"},
    {"_:", "_"},
    {"_!", "_"},
    {"_^_", "_"},
    {"_|", "_"},
    // schwas and central vowels
    {"@", "ax"},
    {"@2", "ax"},
    {"@5", "ax"},
    {"@-", "ax"},
    {"a#", "ax"},
    {"@L", "l"},
    {"3", "er"},
    {"3:", "er"},
    {"3:r", "er"},
    {"VR", "er"},
    {"@r", "er"},
    // front and open vowels
    {"a", "ae"},
    {"aa", "ae"},
    {"a2", "ae"},
    {"A:", "aa"},
    {"A@", "aa"},
    {"A", "aa"},
    {"0", "aa"},
    {"E", "eh"},
    {"E2", "eh"},
    {"e@", "eh"},
    {"e", "eh"},
    {"eI", "ey"},
    {"I", "ih"},
    {"I2", "ih"},
    {"I#", "ih"},
    {"i", "iy"},
    {"i:", "iy"},
    {"i@", "iy"},
    {"i@3", "iy"},
    {"IR", "iy"},
    // back vowels
    {"O", "ao"},
    {"O:", "ao"},
    {"O@", "ao"},
    {"o@", "ao"},
    {"O2", "ao"},
    {"V", "ah"},
    {"U", "uh"},
    {"U@", "uh"},
    {"u:", "uw"},
    {"u", "uw"},
    {"oU", "ow"},
    {"o", "ow"},
    // diphthongs
    {"aU", "aw"},
    {"OI", "oy"},
    {"aI", "ay"},
    {"aI@", "ay"},
    {"aI3", "ay"},
    // consonants whose mnemonic is not the phone's own letter
    {"tS", "ch"},
    {"dZ", "jh"},
    {"S", "sh"},
    {"Z", "zh"},
    {"T", "th"},
    {"D", "dh"},
    {"N", "ng"},
    {"j", "y"},
    {"t#", "t"},
    {"t2", "t"},
    {"d#", "d"},
    {"?", "t"},
    {"n-", "n"},
    {"m-", "m"},
    {"r-", "r"},
    {"l/", "l"},
    {"x", "k"},
    {"ts", "s"},
    {"dz", "z"},
};

// Last resort for other languages' mnemonics: what their base letter sounds like.
constexpr MnemonicRow kByLetter[] = {
    {"a", "ae"}, {"A", "aa"}, {"e", "eh"}, {"E", "eh"}, {"i", "iy"}, {"I", "ih"}, {"o", "ow"}, {"O", "ao"},
    {"u", "uw"}, {"U", "uh"}, {"y", "iy"}, {"Y", "iy"}, {"@", "ax"}, {"3", "er"}, {"0", "aa"}, {"V", "ah"},
    {"W", "eh"}, {"p", "p"},  {"b", "b"},  {"m", "m"},  {"B", "b"},  {"t", "t"},  {"d", "d"},  {"n", "n"},
    {"k", "k"},  {"g", "g"},  {"q", "k"},  {"c", "k"},  {"G", "g"},  {"f", "f"},  {"v", "v"},  {"F", "f"},
    {"s", "s"},  {"z", "z"},  {"h", "h"},  {"r", "r"},  {"R", "r"},  {"l", "l"},
};

const StandardPhone *lookUp(std::string_view mnemonic, const auto &table)
{
    for (const MnemonicRow &row : table) {
        if (row.espeak == mnemonic)
            return findPhone(row.phone);
    }
    return nullptr;
}

} // namespace

int visemeOfPhone(std::string_view phone)
{
    // "ix" belongs to the viseme set although the phone set has no id for it.
    if (phone == "ix")
        return 6;
    const StandardPhone *found = findPhone(phone);
    return found ? found->viseme : -1;
}

const StandardPhone *standardPhoneForEspeak(std::string_view mnemonic)
{
    if (mnemonic.empty())
        return nullptr;
    if (const StandardPhone *english = lookUp(mnemonic, kEnglish))
        return english;
    // Plain consonants share their letter with the phone ("p", "k", "w", ...).
    if (const StandardPhone *same = findPhone(mnemonic))
        return same;
    if (mnemonic.front() == '_')
        return findPhone("_");
    return lookUp(mnemonic.substr(0, 1), kByLetter);
}

} // namespace kestrel
