#pragma once
// Standard fax page lengths in rows, by paper (width class 1 A4, 2 B4, 3 A3)
// and vertical resolution (100, 200, 300 and 400 dpi): the lengths of ITU-T
// T.4 2.2 at 3.85, 7.7, 11.55 and 15.4 lines/mm. Bare data is cut into pages
// of these lengths, and its vertical resolution is guessed from them.
#include <array>
#include <cstdint>

namespace orvane {

inline constexpr std::array<std::array<std::uint32_t, 4>, 3> kPageRows = {{
    {1144, 2288, 3432, 4576},  // A4
    {1363, 2726, 4089, 5452},  // B4
    {1617, 3234, 4851, 6468},  // A3
}};
// The resolutions of kPageRows' columns.
inline constexpr std::array<std::uint16_t, 4> kPageRowsDpi = {100, 200, 300, 400};

}  // namespace orvane
