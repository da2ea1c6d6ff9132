#pragma once

#include <cstdint>

namespace questionbank {

// The failure codes of the record-access layer carry the values that ADO and Jet report,
// so that the texts shown for them (ComErrorText) are the ones users of the bank know.
using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);          // also: missing, unreadable or non-Jet file
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);       // a call through a null object
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_FILE_NOT_FOUND = MakeHResult(0x80070002);
inline constexpr HRESULT E_PATH_NOT_FOUND = MakeHResult(0x80070003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);

// OLE DB / Jet
inline constexpr HRESULT DB_E_NOTABLE = MakeHResult(0x80040E37);         // missing table
inline constexpr HRESULT DB_E_ERRORSINCOMMAND = MakeHResult(0x80040E14); // syntax error
inline constexpr HRESULT DB_E_PARAMNOTOPTIONAL = MakeHResult(0x80040E10); // unknown column in WHERE / ORDER BY
inline constexpr HRESULT DB_E_CANTCONVERTVALUE = MakeHResult(0x80040E07); // type mismatch in a criterion
inline constexpr HRESULT DB_SEC_E_AUTH_FAILED = MakeHResult(0x80040E4D);  // refused password

// ADO
inline constexpr HRESULT adErrItemNotFound = MakeHResult(0x800A0CC1);    // Collect of a column the result lacks
inline constexpr HRESULT adErrNoCurrentRecord = MakeHResult(0x800A0BCD); // BOF or EOF is true
inline constexpr HRESULT adErrObjectClosed = MakeHResult(0x800A0E78);    // call on a closed recordset
inline constexpr HRESULT adErrObjectOpen = MakeHResult(0x800A0E79);      // Open on an open object
inline constexpr HRESULT adErrProviderNotFound = MakeHResult(0x800A0E7A);

} // namespace questionbank
