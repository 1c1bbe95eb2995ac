#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

class FmtLists;

// The formats file keeps the collected filename formats between uses: a comment header, then one
// section per key of fmtLists, the key on a line of its own and one format per line below it.
// It is written in the local 8-bit encoding with CR LF line ends and read with either line end.

// productName + ".FMT" in the directory that holds the add-in's module, in Windows path text.
// Throws a QuilletError when that directory lies on no drive.
QString fmtFilePath();

// Adds the formats that the file at path holds to the lists of fmtLists. A missing or unreadable
// file adds nothing; this never throws.
void loadFmtFile(FmtLists &fmtLists, const QString &path);
// The same at the formats file in use: the per-user copy when the module's directory cannot be
// written and the copy exists, else the one at fmtFilePath(). An unreadable per-user copy reads
// as a missing file.
void loadFmtFile(FmtLists &fmtLists);

// Replaces the content of the existing file at path with the header and every list of fmtLists.
// A missing file is not created; when the file cannot be replaced it keeps its old content. No
// failure is reported and this never throws: the formats file must not stop a save run.
void saveFmtFile(const FmtLists &fmtLists, const QString &path);
// The same at fmtFilePath(); when the module's directory cannot be written (an installed add-in
// under a system directory), at the per-user copy instead, which is made when either file exists.
void saveFmtFile(const FmtLists &fmtLists);

// The native path of the per-user copy: productName + ".FMT" in a productName folder of the
// user's application data directory.
QString perUserFmtFilePath();

// The reading rules on the bytes of a formats file: a line whose first character is "[" names
// the current section, anything from a "#" on is a comment, blanks around an entry are dropped,
// and a format counts only under a section that is a key of fmtLists.
void readFmtLines(FmtLists &fmtLists, const QByteArray &content);

// The whole file as saveFmtFile writes it, with createdOn in the header.
QByteArray fmtFileContent(const FmtLists &fmtLists, const QDateTime &createdOn);

// The general date form of the header: the locale's short date, a blank, and its long time
// without the time zone.
QString generalDateText(const QDateTime &moment, const QLocale &locale = QLocale::system());
