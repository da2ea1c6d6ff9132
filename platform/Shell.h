#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// The shell's "open" verb: hands a target (a web address, a file) to the program associated with it.
namespace platform {

// As the shell reports it: above 32 means the target was handed on.
using ShellResult = std::intptr_t;
inline constexpr ShellResult SE_ERR_NOASSOC = 31;
inline constexpr ShellResult kShellOpened = 42;

constexpr bool ShellSucceeded(ShellResult result) { return static_cast<std::uintptr_t>(result) > 32; }

ShellResult ShellExecuteOpen(const QString& target);

// Test seam: every open goes to `handler`; an empty handler restores the desktop's. Returns the previous one.
using ShellOpenHandler = std::function<ShellResult(const QString& target)>;
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);

} // namespace platform
