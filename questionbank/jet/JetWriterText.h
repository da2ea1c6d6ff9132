#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// Text conversion for the writer: Jet 4 stores every name and text as UCS-2LE.
namespace questionbank::jet::writertext {

// UTF-8 to UTF-16; throws std::invalid_argument on malformed input (overlong forms, surrogates,
// code points past U+10FFFF, truncated sequences), so that nothing is silently replaced.
inline std::u16string toUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07, minimum = 0x10000;
        } else {
            throw std::invalid_argument("invalid UTF-8 lead byte");
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= text.size())
                throw std::invalid_argument("truncated UTF-8 sequence");
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                throw std::invalid_argument("invalid UTF-8 continuation byte");
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            throw std::invalid_argument("invalid UTF-8 code point");
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += extra + 1;
    }
    return out;
}

} // namespace questionbank::jet::writertext
