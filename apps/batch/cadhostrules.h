#pragma once

#include <QString>
#include <cstdint>

// The rules by which the batch drives the CAD host, apart from the calls that apply them.
namespace CadHostRules {

// The program a class's LocalServer32 value starts: the quoted path, or the unquoted text up to
// its ".exe"; empty when the value names none.
QString serverExecutable(const QString &localServer32);

// What a message filter answers a call the host turned away: -1 to give up, or the milliseconds
// to wait before the call goes again. A host busy with another call answers "retry later"
// (rejectType 2), which is retried until the deadline; a call it rejects outright (1) is not.
int retryDelay(std::uint32_t rejectType, std::uint32_t elapsedMs, std::uint32_t deadlineMs);

// Why the host could not open a drawing, from OpenDoc6's error bits: "" when the bits name no
// cause the user can act on.
QString openErrorText(long errors);
// Open errors that say the host itself is unwell (out of memory or handles, or busy), so that a
// fresh host should take the drawings that follow.
bool hostUnwell(long errors);

// The drawing's failure when its host was stopped or died over it; drawing is its file name.
QString stoppedText(const QString &drawing, int timeoutSeconds);
QString endedText(const QString &drawing);

} // namespace CadHostRules
