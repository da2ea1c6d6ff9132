#pragma once

#include <QString>

// The single-instance guard: a named, per-user object without a file, which the system releases
// when the process ends however it ends. On Linux an abstract-namespace Unix socket address.
namespace platform {

// Takes the name for the rest of the process's life. False when another living process holds it.
// Another failure (no sockets at all) does not keep the program from starting and answers true.
bool CreateSingleInstanceMutex(const QString& name);

// The address a name takes: the name and the user id, since the abstract namespace is shared by
// every user of the machine.
QString SingleInstanceAddress(const QString& name);

} // namespace platform
