#pragma once

#include <QString>

// Every character of unwantedCharacters removed from str, compared exactly.
QString cleanString(QString str, const QString &unwantedCharacters);

// Creates dirName ("\"-separated levels, blanks around each level trimmed, empty levels skipped)
// from the existing directory path on, level by level. "." and ".." levels are settled first, as
// Windows settles them, so ".." may name a directory beside or above path, never one above the
// root of its drive; nothing is created on the way. Leaves the deepest level's full path in
// s_DirSpec and returns true; every failure is raised as a QuilletError (11901 when path does not
// exist, 12101 when a level is still missing after its creation, or the platform's own error),
// leaving s_DirSpec as it was and the levels already made on disk.
bool mkRecurseDir(const QString &path, const QString &dirName, QString &s_DirSpec);
// The directory mkRecurseDir would leave in s_DirSpec, worked out without making anything; raises
// 11901 as mkRecurseDir does when path does not exist.
QString recurseDirPath(const QString &path, const QString &dirName);

// A directory as a caption of a given room: the path itself while it has fewer than limit
// characters, otherwise its first head characters, " ... " and its last tail characters; it ends
// in one "\" in both cases.
QString shortenedPath(const QString &path, int limit, int head, int tail);
// A directory as the log and the captions show it: ending in one "\", which a drive's root
// already has.
QString withClosingBackslash(const QString &directory);

// What a typed new directory name may not hold: the file name's refused characters but "\",
// which separates its levels.
QString newDirRefusedChars();
