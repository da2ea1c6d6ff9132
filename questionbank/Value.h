#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace questionbank {

// The type tags of a field value, after the VARIANT types ADO hands over for Jet columns.
enum class VarType {
    Empty,    // VT_EMPTY: no value at all (a default-constructed Value)
    Null,     // VT_NULL
    Bool,     // VT_BOOL      (Jet Yes/No)
    UI1,      // VT_UI1       (Jet Byte)
    I2,       // VT_I2        (Jet Integer)
    I4,       // VT_I4        (Jet Long)
    Currency, // VT_CY        (Jet Currency)
    R4,       // VT_R4        (Jet Single)
    R8,       // VT_R8        (Jet Double)
    Date,     // VT_DATE      (Jet DateTime)
    BStr,     // VT_BSTR      (Jet Text, Memo and GUID)
    Binary,   // VT_ARRAY|VT_UI1 (Jet Binary and OLE)
    Decimal,  // VT_DECIMAL   (Jet Numeric)
};

struct Null {
    friend bool operator==(Null, Null) = default;
};
// A currency amount in units of 1/10000, as Jet stores it.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(Currency, Currency) = default;
};
// An OLE automation date: days since 1899-12-30, the time of day as the fraction.
struct OleDate {
    double days = 0;
    friend bool operator==(OleDate, OleDate) = default;
};
// A Jet Numeric value as exact decimal text: an optional '-', digits, optionally '.' and digits
// (no exponent, no superfluous leading zeros, no trailing zeros after the point).
struct Decimal {
    std::string text;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};
using Bytes = std::vector<std::uint8_t>;

// A field value. Text is UTF-8.
class Value {
public:
    using Storage = std::variant<std::monostate, Null, bool, std::uint8_t, std::int16_t, std::int32_t, Currency,
                                 float, double, OleDate, std::string, Bytes, Decimal>;

    Value() = default;
    explicit Value(Null) : m_storage(Null{}) {}
    explicit Value(bool value) : m_storage(value) {}
    explicit Value(std::uint8_t value) : m_storage(value) {}
    explicit Value(std::int16_t value) : m_storage(value) {}
    explicit Value(std::int32_t value) : m_storage(value) {}
    explicit Value(Currency value) : m_storage(value) {}
    explicit Value(float value) : m_storage(value) {}
    explicit Value(double value) : m_storage(value) {}
    explicit Value(OleDate value) : m_storage(value) {}
    explicit Value(std::string value) : m_storage(std::move(value)) {}
    explicit Value(const char* value) : m_storage(std::string(value)) {}
    explicit Value(Bytes value) : m_storage(std::move(value)) {}
    explicit Value(Decimal value) : m_storage(std::move(value)) {}

    static Value null() { return Value(Null{}); }

    VarType type() const { return static_cast<VarType>(m_storage.index()); }
    bool isNull() const { return type() == VarType::Null; }

    // The stored alternative; throws std::bad_variant_access for another type.
    template <typename T> const T& get() const { return std::get<T>(m_storage); }
    template <typename T> const T* getIf() const { return std::get_if<T>(&m_storage); }
    const Storage& storage() const { return m_storage; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Storage m_storage;
};

static_assert(std::variant_size_v<Value::Storage> == static_cast<std::size_t>(VarType::Decimal) + 1,
              "VarType and Value::Storage list the types in the same order");

} // namespace questionbank
