#include "questionbank/jet/TextCodec.h"

#include "questionbank/jet/JetFormat.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace questionbank::jet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80-0x9F of Windows-1252; the five unassigned bytes map to the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

void appendCp1252(std::string& out, std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t byte : bytes) {
        if (byte < 0x80)
            out.push_back(static_cast<char>(byte));
        else if (byte < 0xA0)
            appendUtf8(out, kCp1252High[byte - 0x80u]);
        else
            appendUtf8(out, byte);
    }
}

} // namespace

namespace {

// Writes the UTF-8 form of a valid code point (no surrogates, at most U+10FFFF) and returns the
// position after it; the caller has made room for 4 bytes.
char* putUtf8(char* out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

} // namespace

void appendUtf8(std::string& out, char32_t codePoint)
{
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        codePoint = kReplacement;
    char buffer[4];
    out.append(buffer, static_cast<std::size_t>(putUtf8(buffer, codePoint) - buffer));
}

void appendUtf16Le(std::string& out, std::span<const std::uint8_t> bytes)
{
    const std::size_t units = bytes.size() / 2;
    // Each unit gives at most 3 bytes (a pair gives 4 for 2 units), the odd byte a replacement.
    const std::size_t used = out.size();
    out.resize(used + 3 * units + 3);
    char* next = out.data() + used;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            const char32_t low = i + 1 < units ? static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8)) : 0;
            if (unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                unit = kReplacement;
            }
        }
        next = putUtf8(next, unit);
    }
    if (bytes.size() % 2 != 0)
        next = putUtf8(next, kReplacement);
    out.resize(static_cast<std::size_t>(next - out.data()));
}

std::string decodeJet4Text(std::span<const std::uint8_t> bytes)
{
    std::string out;
    if (bytes.size() >= 2 && bytes[0] == format::text::kCompressedMarker0
        && bytes[1] == format::text::kCompressedMarker1) {
        out.reserve(bytes.size());
        // Segments separated by 0x00 alternate between one byte per character and UTF-16LE.
        bool compressed = true;
        std::size_t segmentStart = 2;
        for (std::size_t i = 2; i <= bytes.size(); ++i) {
            if (i < bytes.size() && bytes[i] != 0)
                continue;
            const auto segment = bytes.subspan(segmentStart, i - segmentStart);
            if (compressed) {
                for (std::uint8_t byte : segment)
                    appendUtf8(out, byte);
            } else {
                appendUtf16Le(out, segment);
            }
            compressed = !compressed;
            segmentStart = i + 1;
        }
        return out;
    }
    appendUtf16Le(out, bytes);
    return out;
}

struct CodePageDecoder::Converter {
    explicit Converter(iconv_t h)
        : handle(h)
    {
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() { iconv_close(handle); }
    iconv_t handle;
};

CodePageDecoder::CodePageDecoder(std::uint16_t codePage)
    : m_codePage(codePage)
{
    if (codePage == format::header::kCodePage1252)
        return;
    const std::string candidates[] = {
        "CP" + std::to_string(codePage),
        "WINDOWS-" + std::to_string(codePage),
        codePage == format::header::kCodePage936 ? "GBK" : "",
    };
    for (const auto& name : candidates) {
        if (name.empty())
            continue;
        iconv_t handle = iconv_open("UTF-8", name.c_str());
        if (handle != reinterpret_cast<iconv_t>(-1)) {
            m_converter = std::make_unique<Converter>(handle);
            return;
        }
    }
    m_codePage = format::header::kCodePage1252;
}

CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;
CodePageDecoder::~CodePageDecoder() = default;

std::string CodePageDecoder::decode(std::span<const std::uint8_t> bytes)
{
    std::string out;
    if (!m_converter) {
        out.reserve(bytes.size());
        appendCp1252(out, bytes);
        return out;
    }
    iconv(m_converter->handle, nullptr, nullptr, nullptr, nullptr);
    // Each input byte gives at most 3 bytes of UTF-8 for the double-byte code pages.
    out.resize(bytes.size() * 3 + 4);
    // iconv's interface takes non-const input; it does not write through it.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(m_converter->handle, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
            break;
        const int error = errno;
        if (error == E2BIG) {
            const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // An invalid or incomplete sequence: one replacement character per bad byte.
        if (outLeft < 3) {
            const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
        }
        *outPtr++ = '\xEF';
        *outPtr++ = '\xBF';
        *outPtr++ = '\xBD';
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(m_converter->handle, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

} // namespace questionbank::jet
