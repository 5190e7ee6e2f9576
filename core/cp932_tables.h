// The shape of the code page 932 tables: shared by the program that generates them at
// build time (cp932_tables_gen.cpp) and the conversions that read them (cp932.cpp).
#pragma once

#include <cstddef>

#include "core/cp932.h"

namespace tavo::cp932_tables {

// Lead bytes 81-9F and E0-FC, trail bytes 40-FC (7F is never a trail byte, its slot stays 0).
inline constexpr std::size_t kLeadCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);
inline constexpr std::size_t kTrailCount = 0xFC - 0x40 + 1;
inline constexpr std::size_t kDoubleByteCount = kLeadCount * kTrailCount;

inline constexpr bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// The slot of a lead byte (IsCp932LeadByte) and a trail byte (IsTrailByte).
inline constexpr std::size_t DoubleIndex(unsigned char lead, unsigned char trail) {
    const std::size_t leadIndex = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 0x1Fu;
    return leadIndex * kTrailCount + (trail - 0x40u);
}

}  // namespace tavo::cp932_tables
