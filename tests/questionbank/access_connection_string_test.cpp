#include "access_fixtures.h"
#include "questionbank/ConnectionString.h"

#include <gtest/gtest.h>

namespace questionbank {
namespace {

using testing::ErrorOf;

TEST(ConnectionStringTest, ReadsKeysAndValuesAsOleDbDoes)
{
    auto keys = ConnectionString::Parse(
        " provider = Microsoft.Jet.OLEDB.4.0 ;DATA SOURCE=\"a;b.mdb\";Jet OLEDB:Database Password='it''s';;x=1;x=2;");
    EXPECT_EQ(keys.value("Provider"), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(keys.value("data source"), "a;b.mdb");
    EXPECT_EQ(keys.value("jet oledb:database password"), "it's");
    EXPECT_EQ(keys.value("X"), "2"); // the last one counts
    EXPECT_EQ(keys.value("Mode"), std::nullopt);
    EXPECT_EQ(ConnectionString::Parse("Data Source=").value("Data Source"), "");

    for (const char* malformed : { "Provider", "=x", "a=\"open", "a=\"x\" y;b=1" }) {
        SCOPED_TRACE(malformed);
        EXPECT_EQ(ErrorOf([&] { ConnectionString::Parse(malformed); }), E_FAIL);
    }
}

} // namespace
} // namespace questionbank
