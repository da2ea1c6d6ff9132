// libFuzzer target: any source either fails with a SourceError or round-trips through dump's
// writer unchanged, and the checks never fail on what it gives.
#include "tools/quizbank/BankCheck.h"
#include "tools/quizbank/BankSource.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view source(reinterpret_cast<const char*>(data), size);
    quizbank::Bank bank;
    try {
        bank = quizbank::ParseSource(source, "fuzz.toml");
    } catch (const quizbank::SourceError&) {
        return 0;
    }
    if (quizbank::ParseSource(quizbank::WriteSource(bank), "dump") != quizbank::Normalized(bank))
        std::abort();
    quizbank::ToTables(bank);
    quizbank::CheckBank(bank);
    return 0;
}
