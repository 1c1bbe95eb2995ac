#include "destdirtable.h"

#include "addin/quilletmain.h"
#include "formats/outputformats.h"
#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "platform/settingsstore.h"
#include "save/pathutils.h"

QString DestDirTable::storedEntry(const SettingsStore &store, int outFmtIndex)
{
    return store.read(Quilletmain::productName, Quilletmain::settingsSection,
        OutputFormats::destDirSettingsKey(outFmtIndex), OutputFormats::caption(outFmtIndex));
}

DestDirTable DestDirTable::fromSettings(const SettingsStore &store)
{
    DestDirTable table;
    for (int i = 0; i < OutputFormats::count; ++i)
        table.entries.insert(OutputFormats::destDirKey(i), storedEntry(store, i));
    return table;
}

QString DestDirTable::entry(const QString &key) const
{
    const auto it = entries.constFind(key);
    if (it == entries.cend())
        throw QuilletError(5, QStringLiteral("Invalid procedure call or argument"));
    return it.value();
}

void DestDirTable::persist(SettingsStore &store) const
{
    for (int i = 0; i < OutputFormats::count; ++i) {
        store.write(Quilletmain::productName, Quilletmain::settingsSection,
            OutputFormats::destDirSettingsKey(i), entries.value(OutputFormats::destDirKey(i)));
    }
}

bool isAbsoluteEntry(const QString &entry)
{
    const FileSystemObject fso;
    return fso.DriveExists(fso.GetDriveName(entry.trimmed()));
}

QString destDirRefusedChars()
{
    return cleanString(Quilletmain::unwantedFileChars, QStringLiteral("\\:"));
}

void createRelativeEntries(const DestDirTable &table, const QString &base)
{
    for (int i = 0; i < OutputFormats::count; ++i) {
        const QString entry = table.entry(OutputFormats::destDirKey(i)).trimmed();
        if (isAbsoluteEntry(entry))
            continue;
        try {
            QString made;
            mkRecurseDir(base, cleanString(entry, QStringLiteral(":")), made);
        } catch (const QuilletError &) {
            // Directories not made now are made by the first save of their format.
        }
    }
}

QString resolveDestDir(const QString &entry, const QString &base, QString &s_DirSpec)
{
    const FileSystemObject fso;
    if (isAbsoluteEntry(entry)) {
        // An absolute entry is never created; when it is gone the file goes to the base.
        return fso.folderExists(entry) ? entry : base;
    }
    // The directory made is the result: its levels are trimmed and empty ones skipped, so it names
    // the same place as the typed text on Windows and the only right one where blanks are kept.
    if (mkRecurseDir(base, cleanString(entry, QStringLiteral(":")), s_DirSpec))
        return s_DirSpec;
    return base;
}

QString plannedDestDir(const QString &entry, const QString &base)
{
    if (isAbsoluteEntry(entry))
        return FileSystemObject().folderExists(entry) ? entry : base;
    return recurseDirPath(base, cleanString(entry, QStringLiteral(":")));
}
