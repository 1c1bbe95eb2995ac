#include "gocommand.h"

#include "formats/fmtfile.h"
#include "formats/outputformats.h"
#include "pdfoption.h"
#include "storedchoices.h"

void storeForGo(SettingsStore &store, const StoredChoices &choices, bool pdfSingleFile,
    const FmtLists &fmtLists)
{
    choices.write(store);
    if (OutputFormats::isPdf(choices.outFmtIndex))
        setPDFRegKey(pdfSingleFile ? 1 : 0);
    saveFmtFile(fmtLists);
}
