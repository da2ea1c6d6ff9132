#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace questionbank::jet {

// Appends the UTF-8 form of a code point; surrogates and values beyond U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16LE to UTF-8. Unpaired surrogates and an odd last byte become U+FFFD.
void appendUtf16Le(std::string& out, std::span<const std::uint8_t> bytes);

// Jet 4 text: UTF-16LE, or the compressed form that starts FF FE.
std::string decodeJet4Text(std::span<const std::uint8_t> bytes);

// Jet 3 text in the code page of the file. Invalid bytes become U+FFFD. Not thread-safe: a
// decoder keeps conversion state, so give each thread its own.
class CodePageDecoder {
public:
    explicit CodePageDecoder(std::uint16_t codePage);
    CodePageDecoder(CodePageDecoder&&) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&&) noexcept;
    ~CodePageDecoder();

    std::string decode(std::span<const std::uint8_t> bytes);
    // The code page actually used: unknown code pages fall back to 1252.
    std::uint16_t codePage() const { return m_codePage; }

private:
    struct Converter;
    std::uint16_t m_codePage;
    std::unique_ptr<Converter> m_converter; // null for 1252, which is decoded from our own table
};

} // namespace questionbank::jet
