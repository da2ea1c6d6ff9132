#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace questionbank::jet {

// A GUID column's 16 bytes as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case: the first
// three groups are little-endian numbers, the last two are bytes in file order.
std::string guidText(std::span<const std::uint8_t, 16> bytes);

// A Numeric column's 17 bytes as exact decimal text: a sign byte (0x80 = negative), then a
// 128-bit magnitude as four little-endian 32-bit words, the most significant first. The scale
// places the decimal point; trailing zeros after it, and a point without digits, are dropped.
std::string numericText(std::span<const std::uint8_t, 17> bytes, unsigned scale);

} // namespace questionbank::jet
