#include "platform/SingleInstance.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

QString SingleInstanceAddress(const QString& name)
{
    return name + QStringLiteral(".single-instance.") + QString::number(getuid());
}

bool CreateSingleInstanceMutex(const QString& name)
{
    const QByteArray address = SingleInstanceAddress(name).toUtf8();
    sockaddr_un socketAddress {};
    socketAddress.sun_family = AF_UNIX;
    // A leading NUL puts the address in the abstract namespace: no file, gone with the last descriptor.
    const std::size_t length = std::min(static_cast<std::size_t>(address.size()), sizeof socketAddress.sun_path - 1);
    std::memcpy(socketAddress.sun_path + 1, address.constData(), length);
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return true;
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(descriptor, reinterpret_cast<const sockaddr*>(&socketAddress), size) == 0)
        return true; // the descriptor stays open until the process ends
    const int error = errno;
    close(descriptor);
    return error != EADDRINUSE;
}

} // namespace platform
