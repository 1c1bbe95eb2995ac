#pragma once

#include <QHash>
#include <QString>

class SettingsStore;

// One destination directory per output format, keyed "[" + extension + "]" (for example [.DXF]).
// An entry is relative to the output base directory unless it begins with a drive that exists.
class DestDirTable {
public:
    // Every format's entry from the settings store; a missing key reads as the format's caption,
    // a stored empty value stays empty.
    static DestDirTable fromSettings(const SettingsStore &store);
    // One format's stored entry, read the same way.
    static QString storedEntry(const SettingsStore &store, int outFmtIndex);

    bool contains(const QString &key) const { return entries.contains(key); }
    // Raises error 5 when the table has no entry for the key.
    QString entry(const QString &key) const;
    void replace(const QString &key, const QString &text) { entries.insert(key, text); }
    // Writes all seven entries in table order.
    void persist(SettingsStore &store) const;

private:
    QHash<QString, QString> entries;
};

// The directory a file of this entry is saved in, given the output base directory. An existing
// absolute entry is used as it stands and a missing one falls back to the base (nothing is
// created); a relative entry loses its ":" characters and is created below the base with
// mkRecurseDir, whose errors pass through. s_DirSpec is mkRecurseDir's result member.
QString resolveDestDir(const QString &entry, const QString &base, QString &s_DirSpec);
// The directory resolveDestDir would give, worked out without creating anything.
QString plannedDestDir(const QString &entry, const QString &base);

// An entry is absolute when it begins with a drive that exists; any other is relative to the
// output base directory, a missing drive's letter becoming an ordinary level.
bool isAbsoluteEntry(const QString &entry);
// What a typed entry may not hold: the file name's refused characters but "\" and ":", since an
// entry is a path that may name a drive.
QString destDirRefusedChars();
// Creates the directories of every relative entry below base now, rather than at the first save
// of their format. An entry whose directories cannot be made is passed over; absolute entries are
// never created.
void createRelativeEntries(const DestDirTable &table, const QString &base);
