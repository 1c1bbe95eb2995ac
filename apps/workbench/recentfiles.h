#pragma once

#include <QString>
#include <QStringList>

// The documents opened last, newest first, as the File menu offers them again. Paths compare as
// the host compares them, without regard to case, so one document is listed once.
namespace RecentFiles {

inline constexpr int limit = 5;

// The list with path in front and at most limit long.
QStringList added(const QStringList &list, const QString &path);
QStringList removed(const QStringList &list, const QString &path);

} // namespace RecentFiles
