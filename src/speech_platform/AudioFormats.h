#pragma once

#include <QList>
#include <QString>

namespace kestrel {

/// One audio output format a voice can be asked for: the stream format type code
/// (4 to 39), its name as the voice window lists it, and what it means.
struct AudioFormatInfo
{
    int code = 0;
    const char *name = "";
    int sampleRate = 0;    ///< frames per second
    int bitsPerSample = 0; ///< 8 (unsigned) or 16 (signed, little endian)
    int channels = 0;      ///< 1 mono, 2 stereo

    int bytesPerFrame() const { return bitsPerSample / 8 * channels; }
    bool operator==(const AudioFormatInfo &other) const { return code == other.code; }
};

/// The 36 output formats, 8 kHz 8-bit mono (code 4) to 48 kHz 16-bit stereo
/// (code 39), in list order: position = code - 4. The order and the codes are what
/// stored settings refer to, so they never change.
namespace AudioFormats {

inline constexpr int Count = 36;
inline constexpr int FirstCode = 4;
inline constexpr int LastCode = 39;
/// "SAFT22kHz16BitMono": what a voice speaks in until told otherwise, and eSpeak
/// NG's own output rate, so it needs no conversion.
inline constexpr int DefaultCode = 22;

/// The format at list position 0..Count-1; nullptr outside that range.
const AudioFormatInfo *atPosition(int position);
/// The format with this code; nullptr for codes other than 4 to 39.
const AudioFormatInfo *byCode(int code);
/// The list position of `code`, or -1 when there is no such format.
int positionOf(int code);
/// Every format, in list order.
QList<AudioFormatInfo> all();

} // namespace AudioFormats

} // namespace kestrel
