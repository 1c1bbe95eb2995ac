#include "fmtfile.h"

#include "addin/quilletmain.h"
#include "fmtlists.h"
#include "platform/blanks.h"
#include "platform/clock.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <exception>

namespace {

// The header after its first four lines, fixed text: it explains the filename format keywords to
// whoever edits the file by hand.
const char *const headerTail[] = {
    "# You may edit this file if you know what your are doing.",
    "#",
    "# Field separation character is (|)",
    "#",
    "# The following KEYWORDS have special meanings...",
    "#",
    "# DRWNAME, FILENAME (both mean the same)",
    "# SHEETNAME",
    "# SHEETNUMBER, CURRENTSHEETNUMBER (both mean the same)",
    "# TOTALSELSHEETS",
    "# TOTALDOCSHEETS, TOTALDRWSHEETS (both mean the same)",
    "# DATE (YYYY-MM-DD)",
    "# YEAR (YYYY)",
    "# MONTH (MM)",
    "# DAY (DD)",
    "# TIME (HH_MM)",
    "# MODELNAME, MODELFILENAME, MODELFILENAMEWITHOUTEXTN (they all mean the same)",
    "# MODELFILENAMEWITHEXTN",
    "#",
    "# Any other string is used to retrive CPs... ",
    "# ...and if that fails, they are copied literally",
    "#",
};

void readLine(FmtLists &fmtLists, QString &section, QByteArrayView bytes)
{
    const QString line = QString::fromLocal8Bit(bytes);
    if (line.isEmpty())
        return;
    const QChar first = line.front();
    // Most lines are a format and nothing else; they keep sharing the line's text.
    QString entry = line;
    const qsizetype comment = line.indexOf(QLatin1Char('#'));
    if (comment >= 0)
        entry.truncate(comment);
    if (entry.startsWith(QLatin1Char(' ')) || entry.endsWith(QLatin1Char(' ')))
        entry = trimBlanks(entry);
    // A line whose first character is "#" leaves no entry either, so it needs no rule of its own.
    if (entry.isEmpty() || entry == QLatin1String("\r"))
        return;
    if (first == QLatin1Char('[')) {
        section = entry;
        return;
    }
    // Refused under a section that is not a key, and as a duplicate; either way the line is
    // skipped.
    fmtLists.append(section, entry);
}

// A format as its line in the file. A line feed inside it would end the line early and give the
// rest to the reader as a line of its own, so it is left out; Go drops it from the format anyway.
// A format that begins with "[" would read back as a section name and take the formats below it
// into that section, so it gets a blank in front, which the reader drops again.
void appendFormatLine(QByteArray &out, const QString &format)
{
    const QString text
        = format.contains(QLatin1Char('\n')) ? QString(format).remove(QLatin1Char('\n')) : format;
    if (text.startsWith(QLatin1Char('[')))
        out += ' ';
    out += text.toLocal8Bit();
    out += "\r\n";
}

void appendLine(QByteArray &out, const QString &line)
{
    out += line.toLocal8Bit();
    out += "\r\n";
}

// The locale's long time form without its time zone field ("t", or "(t)"), which the general
// date form does not show. Quoted literal text is kept as it is.
QString longTimeFormatWithoutZone(const QLocale &locale)
{
    static const QRegularExpression zone(QStringLiteral("\\(\\s*t+\\s*\\)|t+"));
    static const QRegularExpression blanks(QStringLiteral("\\s{2,}"));
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    QString plain;
    bool quoted = false;
    const auto flushPlain = [&] {
        plain.remove(zone);
        plain.replace(blanks, QStringLiteral(" "));
        result += plain;
        plain.clear();
    };
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            if (!quoted)
                flushPlain();
            quoted = !quoted;
            result += c;
        } else if (quoted) {
            result += c;
        } else {
            plain += c;
        }
    }
    flushPlain();
    return result.trimmed();
}

// Whether a file can be made beside the module, tried rather than read from the permissions,
// which do not tell what a process with extra rights may do.
bool moduleDirectoryTakesFiles()
{
    QTemporaryFile probe(moduleDirectory() + QStringLiteral("/.write-test-XXXXXX"));
    return probe.open();
}

} // namespace

QString fmtFilePath()
{
    const FileSystemObject fso;
    return fso.buildpath(
        fso.fromNative(moduleDirectory()), Quilletmain::productName + QStringLiteral(".FMT"));
}

void readFmtLines(FmtLists &fmtLists, const QByteArray &content)
{
    QString section;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        // CR LF, LF, or a CR LF cut short at the end of the file.
        if (end > start && content.at(end - 1) == '\r')
            --end;
        readLine(fmtLists, section, QByteArrayView(content).sliced(start, end - start));
        start = next;
    }
}

QString generalDateText(const QDateTime &moment, const QLocale &locale)
{
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(moment.time(), longTimeFormatWithoutZone(locale));
}

QByteArray fmtFileContent(const FmtLists &fmtLists, const QDateTime &createdOn)
{
    using namespace Quilletmain;
    const QStringList keys = fmtLists.keys();
    // Room for the usual case of one byte per character, so that a long file is built in one
    // buffer.
    qsizetype size = 2048;
    for (const QString &key : keys) {
        size += key.size() + 2;
        for (const QString &format : fmtLists.list(key))
            size += format.size() + 3;
    }
    QByteArray out;
    out.reserve(size);
    appendLine(out,
        QStringLiteral("# ") + productName + QLatin1Char(' ') + versionString + QStringLiteral(", ")
            + legalCopyright);
    appendLine(out, QStringLiteral("#"));
    appendLine(
        out, QStringLiteral("# Filename formats file for SolidWorks Addin DLL ") + productName);
    appendLine(out, QStringLiteral("# File created on: ") + generalDateText(createdOn));
    for (const char *line : headerTail) {
        out += line;
        out += "\r\n";
    }
    for (const QString &key : keys) {
        appendLine(out, key);
        for (const QString &format : fmtLists.list(key))
            appendFormatLine(out, format);
    }
    return out;
}

void loadFmtFile(FmtLists &fmtLists, const QString &path)
{
    try {
        const FileSystemObject fso;
        if (fso.fileexists(path))
            readFmtLines(fmtLists, fso.readFile(path));
    } catch (const std::exception &) {
        // An unreadable formats file adds nothing to the lists; the dialog works without it.
    }
}

void loadFmtFile(FmtLists &fmtLists)
{
    const QString perUser = perUserFmtFilePath();
    if (!moduleDirectoryTakesFiles() && QFileInfo(perUser).isFile()) {
        QFile file(perUser);
        if (file.open(QIODevice::ReadOnly))
            readFmtLines(fmtLists, file.readAll());
        return;
    }
    QString path;
    try {
        path = fmtFilePath();
    } catch (const QuilletError &) {
        // A module outside every drive has no formats file to read.
        return;
    }
    loadFmtFile(fmtLists, path);
}

void saveFmtFile(const FmtLists &fmtLists, const QString &path)
{
    try {
        const FileSystemObject fso;
        // Only a formats file that is already there is kept up to date; none is created.
        if (!fso.fileexists(path))
            return;
        fso.replaceFile(path, fmtFileContent(fmtLists, Clock::now()));
    } catch (const std::exception &) {
        // A formats file that cannot be rewritten keeps its old content and the save run goes on.
    }
}

void saveFmtFile(const FmtLists &fmtLists)
{
    if (!moduleDirectoryTakesFiles()) {
        // Written as the system redirects writes of programs installed where users may not
        // write, but openly: the copy is the user's formats file from now on.
        const QString perUser = perUserFmtFilePath();
        const QString installed = moduleDirectory() + QLatin1Char('/') + Quilletmain::productName
            + QStringLiteral(".FMT");
        if (!QFileInfo(perUser).isFile() && !QFileInfo(installed).isFile())
            return;
        QSaveFile file(perUser);
        const QByteArray content = fmtFileContent(fmtLists, Clock::now());
        if (QDir().mkpath(QFileInfo(perUser).absolutePath()) && file.open(QIODevice::WriteOnly)
            && file.write(content) == content.size())
            file.commit();
        return;
    }
    QString path;
    try {
        path = fmtFilePath();
    } catch (const QuilletError &) {
        // A module outside every drive has no formats file to keep up to date.
        return;
    }
    saveFmtFile(fmtLists, path);
}

QString perUserFmtFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
        + Quilletmain::productName + QLatin1Char('/') + Quilletmain::productName
        + QStringLiteral(".FMT");
}
