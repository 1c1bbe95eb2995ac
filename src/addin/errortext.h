#pragma once

#include "platform/quilleterror.h"

#include <QString>

// The texts of the add-in's error boxes, built in one place.
namespace ErrorText {

// productName + " " + versionString + " [Error]".
QString title();
// A failure while the main dialog loads: "Exit on Error. " + description + " Error #" + number
// + a full stop and seven blanks.
QString loadFailure(const QuilletError &error);
// A failure of a command: description + " Error #" + number + " in " + the procedure + a full
// stop and seven blanks.
QString commandFailure(const QuilletError &error, const QString &procedure);
// A dialog that could not be opened: description + seven blanks.
QString openFailure(const QuilletError &error);

} // namespace ErrorText
