#pragma once

#include <cstdint>
#include <span>

namespace questionbank::jet {

// RC4 applied in place. Jet uses it to obfuscate the header page and, with a database key, the
// other pages; it is no protection, only a fixed transformation.
void rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

} // namespace questionbank::jet
