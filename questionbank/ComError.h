#pragma once

#include "HResult.h"

#include <memory>
#include <optional>
#include <string>

namespace questionbank {

// The error raised (thrown by value) by every failing call of the record-access layer.
class ComError {
public:
    explicit ComError(HRESULT hr)
        : m_hr(hr)
        , m_text(std::make_shared<std::optional<std::string>>())
    {
    }

    HRESULT Error() const { return m_hr; }

private:
    friend const std::string& ComErrorText(const ComError& error);

    HRESULT m_hr;
    // Built on first use by ComErrorText and kept; shared by copies of the same error.
    std::shared_ptr<std::optional<std::string>> m_text;
};

// The text shown for an error: the system's message for the code where it has one (without a
// trailing line break), otherwise "IDispatch error #n" for the OLE DB range or "Unknown error 0x…".
const std::string& ComErrorText(const ComError& error);

// The system's message for a code, or nothing; the table that stands in for the system's
// message catalogue. Exposed so that tests can see which codes it knows.
std::optional<std::string> SystemMessageText(HRESULT hr);

// A system message as ComErrorText shows it: when it is longer than one byte and ends in LF, that
// LF goes, and a CR right before it too. Nothing else is trimmed.
std::string TrimTrailingLineBreak(std::string message);

} // namespace questionbank
