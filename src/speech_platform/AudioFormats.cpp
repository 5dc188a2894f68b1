#include "speech_platform/AudioFormats.h"

#include <array>

namespace kestrel::AudioFormats {
namespace {

// Written out rather than generated so that a name can be checked against its
// numbers by eye; the tests check that every row agrees with its name.
constexpr std::array<AudioFormatInfo, Count> kFormats{{
    {4, "SAFT8kHz8BitMono", 8000, 8, 1},      {5, "SAFT8kHz8BitStereo", 8000, 8, 2},
    {6, "SAFT8kHz16BitMono", 8000, 16, 1},    {7, "SAFT8kHz16BitStereo", 8000, 16, 2},
    {8, "SAFT11kHz8BitMono", 11025, 8, 1},    {9, "SAFT11kHz8BitStereo", 11025, 8, 2},
    {10, "SAFT11kHz16BitMono", 11025, 16, 1}, {11, "SAFT11kHz16BitStereo", 11025, 16, 2},
    {12, "SAFT12kHz8BitMono", 12000, 8, 1},   {13, "SAFT12kHz8BitStereo", 12000, 8, 2},
    {14, "SAFT12kHz16BitMono", 12000, 16, 1}, {15, "SAFT12kHz16BitStereo", 12000, 16, 2},
    {16, "SAFT16kHz8BitMono", 16000, 8, 1},   {17, "SAFT16kHz8BitStereo", 16000, 8, 2},
    {18, "SAFT16kHz16BitMono", 16000, 16, 1}, {19, "SAFT16kHz16BitStereo", 16000, 16, 2},
    {20, "SAFT22kHz8BitMono", 22050, 8, 1},   {21, "SAFT22kHz8BitStereo", 22050, 8, 2},
    {22, "SAFT22kHz16BitMono", 22050, 16, 1}, {23, "SAFT22kHz16BitStereo", 22050, 16, 2},
    {24, "SAFT24kHz8BitMono", 24000, 8, 1},   {25, "SAFT24kHz8BitStereo", 24000, 8, 2},
    {26, "SAFT24kHz16BitMono", 24000, 16, 1}, {27, "SAFT24kHz16BitStereo", 24000, 16, 2},
    {28, "SAFT32kHz8BitMono", 32000, 8, 1},   {29, "SAFT32kHz8BitStereo", 32000, 8, 2},
    {30, "SAFT32kHz16BitMono", 32000, 16, 1}, {31, "SAFT32kHz16BitStereo", 32000, 16, 2},
    {32, "SAFT44kHz8BitMono", 44100, 8, 1},   {33, "SAFT44kHz8BitStereo", 44100, 8, 2},
    {34, "SAFT44kHz16BitMono", 44100, 16, 1}, {35, "SAFT44kHz16BitStereo", 44100, 16, 2},
    {36, "SAFT48kHz8BitMono", 48000, 8, 1},   {37, "SAFT48kHz8BitStereo", 48000, 8, 2},
    {38, "SAFT48kHz16BitMono", 48000, 16, 1}, {39, "SAFT48kHz16BitStereo", 48000, 16, 2},
}};

} // namespace

const AudioFormatInfo *atPosition(int position)
{
    if (position < 0 || position >= Count)
        return nullptr;
    return &kFormats[static_cast<std::size_t>(position)];
}

const AudioFormatInfo *byCode(int code)
{
    return atPosition(positionOf(code));
}

int positionOf(int code)
{
    if (code < FirstCode || code > LastCode)
        return -1;
    return code - FirstCode;
}

QList<AudioFormatInfo> all()
{
    return QList<AudioFormatInfo>(kFormats.begin(), kFormats.end());
}

} // namespace kestrel::AudioFormats
