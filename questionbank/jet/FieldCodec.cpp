#include "questionbank/jet/FieldCodec.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace questionbank::jet {

std::string guidText(std::span<const std::uint8_t, 16> b)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
        b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string numericText(std::span<const std::uint8_t, 17> b, unsigned scale)
{
    std::array<std::uint32_t, 4> words {};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::size_t at = 1 + 4 * i;
        words[i] = static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8)
            | (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
    }
    // Long division by ten, least significant digit first.
    std::string digits;
    auto isZero = [&words] { return std::all_of(words.begin(), words.end(), [](std::uint32_t w) { return w == 0; }); };
    while (!isZero()) {
        std::uint64_t remainder = 0;
        for (auto& word : words) {
            const std::uint64_t current = (remainder << 32) | word;
            word = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        digits.push_back(static_cast<char>('0' + remainder));
    }
    // A 128-bit magnitude has at most 39 digits; a larger scale only comes from a damaged column.
    scale = std::min(scale, 39u);
    while (digits.size() <= scale)
        digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    std::string text = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    if ((b[0] & 0x80) != 0 && text != "0")
        text.insert(text.begin(), '-');
    return text;
}

} // namespace questionbank::jet
