#pragma once

#include "platform/MessageBox.h"

#include <functional>

// The system's sounds (MessageBeep); MB_OK is the default beep.
namespace platform {

void MessageBeep(UINT type = MB_OK);

// Test seam: every beep goes to `handler`; an empty handler restores the real one. Returns the previous one.
using BeepHandler = std::function<void(UINT type)>;
BeepHandler SetBeepHandler(BeepHandler handler);

} // namespace platform
