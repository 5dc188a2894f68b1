#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace kestrel::fuzz {

/// The fuzzer's bytes as the text a user might have written: invalid UTF-8 turns
/// into replacement characters, as it does when the program reads its files.
inline QString text(const std::uint8_t *data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

} // namespace kestrel::fuzz
