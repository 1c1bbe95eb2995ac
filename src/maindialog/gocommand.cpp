#include "gocommand.h"

#include "formats/fmtfile.h"
#include "pdfoption.h"
#include "storedchoices.h"

void storeForGo(SettingsStore &store, const StoredChoices &choices, const FmtLists &fmtLists)
{
    choices.write(store);
    setPDFRegKeyForRun(choices.run);
    saveFmtFile(fmtLists);
}
