#include "storedchoices.h"

#include "addin/quilletmain.h"
#include "formats/outputformats.h"
#include "platform/settingsstore.h"

namespace {

QString readKey(const SettingsStore &store, const QString &key, const QString &defaultValue)
{
    return store.read(Quilletmain::productName, Quilletmain::settingsSection, key, defaultValue);
}

void writeKey(SettingsStore &store, const QString &key, const QString &text)
{
    store.write(Quilletmain::productName, Quilletmain::settingsSection, key, text);
}

// A stored whole number from low to high replaces value; anything else leaves it.
void readNumber(const SettingsStore &store, const QString &key, const QString &defaultValue,
    int low, int high, int &value)
{
    bool ok = false;
    const int number = readKey(store, key, defaultValue).trimmed().toInt(&ok);
    if (ok && number >= low && number <= high)
        value = number;
}

void readCheck(
    const SettingsStore &store, const QString &key, const QString &defaultValue, bool &value)
{
    int state = value ? 1 : 0;
    readNumber(store, key, defaultValue, 0, 1, state);
    value = state == 1;
}

QString checkText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

StoredChoices StoredChoices::read(const SettingsStore &store)
{
    StoredChoices choices;
    RunChoices &run = choices.run;
    run.baseDir = readKey(store, QStringLiteral("Path"), run.baseDir);
    int outFmtIndex = run.outFmtIndex;
    readNumber(store, QStringLiteral("OutputFormatIndex"), QStringLiteral("0"), 0,
        OutputFormats::count - 1, outFmtIndex);
    run.outFmtIndex = OutputFormats::Format(outFmtIndex);
    readCheck(store, QStringLiteral("isDisplayDiags"), QStringLiteral("1"), run.displayDiags);
    for (const QString &key : OutputFormats::allFormatListKeys()) {
        choices.currentFmts.insert(key,
            readKey(store, OutputFormats::filenameFormatSettingsKey(key),
                RunChoices::defaultFilenameFormat));
    }
    run.ocDestDir = DestDirTable::fromSettings(store);
    int sheetSelType = int(run.sheetSelType);
    readNumber(store, QStringLiteral("SaveSheetSelectionType"), QStringLiteral("0"),
        int(SheetChoice::Current), int(SheetChoice::Selected), sheetSelType);
    run.sheetSelType = SheetChoice(sheetSelType);
    readCheck(store, QStringLiteral("isUseDestDirs"), QStringLiteral("0"), run.useDestDirs);
    return choices;
}

void StoredChoices::write(SettingsStore &store) const
{
    writeKey(store, QStringLiteral("Path"), run.baseDir);
    writeKey(store, QStringLiteral("OutputFormatIndex"), QString::number(run.outFmtIndex));
    writeKey(store, QStringLiteral("isDisplayDiags"), checkText(run.displayDiags));
    for (const QString &key : OutputFormats::allFormatListKeys())
        writeKey(store, OutputFormats::filenameFormatSettingsKey(key), currentFmts.value(key));
    writeKey(
        store, QStringLiteral("SaveSheetSelectionType"), QString::number(int(run.sheetSelType)));
    writeKey(store, QStringLiteral("isUseDestDirs"), checkText(run.useDestDirs));
}
