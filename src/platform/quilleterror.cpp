#include "quilleterror.h"

namespace PlatformError {

QuilletError make(int number)
{
    switch (number) {
    case BadFileName:
        return QuilletError(number, QStringLiteral("Bad file name or number"));
    case FileNotFound:
        return QuilletError(number, QStringLiteral("File not found"));
    case FileAlreadyExists:
        return QuilletError(number, QStringLiteral("File already exists"));
    case DeviceUnavailable:
        return QuilletError(number, QStringLiteral("Device unavailable"));
    case PermissionDenied:
        return QuilletError(number, QStringLiteral("Permission denied"));
    case PathFileAccessError:
        return QuilletError(number, QStringLiteral("Path/File access error"));
    case PathNotFound:
        return QuilletError(number, QStringLiteral("Path not found"));
    }
    return QuilletError(number, QStringLiteral("Unexpected platform error"));
}

} // namespace PlatformError
