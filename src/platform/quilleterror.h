#pragma once

#include <QString>
#include <exception>

// The one failure type above the host and platform boundary: a number and the fixed description
// of that number. Where it came from is Quilletmain::curProcName, which the messages quote.
class QuilletError : public std::exception {
public:
    QuilletError(int number, QString description)
        : number(number)
        , description(std::move(description))
        , utf8(this->description.toUtf8())
    {
    }

    const char *what() const noexcept override { return utf8.constData(); }

    int number;
    QString description;

private:
    QByteArray utf8;
};

// Numbers and descriptions of the platform's own failures.
namespace PlatformError {
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;

QuilletError make(int number);
} // namespace PlatformError
