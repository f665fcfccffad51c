// Chord voicings and glide times of the playing styles.
#pragma once

#include <cstdint>

namespace vorlak {

constexpr uint8_t kChordEnd = 255;
constexpr int kChordNoteBase = 48;

// One row per pitch class of the played key, C first. Bytes are absolute notes minus 48, so
// every octave of a key plays the same voicing.
constexpr uint8_t kChordTable[12][6] = {
    {12, 16, 19, 24, 28, kChordEnd},  // C major
    {13, 16, 20, 25, 28, kChordEnd},  // C# minor
    {14, 21, 26, 29, kChordEnd, kChordEnd},  // D minor
    {15, 22, 27, 30, kChordEnd, kChordEnd},  // D# minor
    {4, 11, 16, 19, 23, 26},  // E minor seventh
    {17, 21, 24, 29, kChordEnd, kChordEnd},  // F major
    {18, 21, 25, 30, kChordEnd, kChordEnd},  // F# minor
    {7, 11, 14, 19, 23, 31},  // G major
    {8, 11, 15, 20, 23, 32},  // G# minor
    {9, 16, 21, 24, 28, kChordEnd},  // A minor
    {10, 17, 22, 26, 29, kChordEnd},  // A# major
    {11, 17, 21, 26, kChordEnd, kChordEnd},  // B half-diminished
};

// Glide lengths by "Timing": fixed ones in steps per beat (a glide takes fixedGlide / tempo
// seconds whatever the interval); dynamic ones divide the squared interval.
constexpr float kFixedGlide[7] = {1.875f, 3.75f, 7.5f, 15.0f, 30.0f, 60.0f, 120.0f};
constexpr float kDynamicGlide[7] = {12.0f, 6.0f, 3.0f, 1.5f, 0.75f, 0.375f, 0.1875f};

}  // namespace vorlak
