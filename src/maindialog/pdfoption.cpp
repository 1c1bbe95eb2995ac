#include "pdfoption.h"

#include "platform/pdfwritervalue.h"
#include "save/runchoices.h"

int getPDFRegKey()
{
    return readPdfWriterValue();
}

void setPDFRegKey(const int &regValue)
{
    // The save run starts whether or not the PDF writer took the value.
    writePdfWriterValue(regValue);
}

void setPDFRegKeyForRun(const RunChoices &choices)
{
    if (OutputFormats::isPdf(choices.outFmtIndex))
        setPDFRegKey(choices.pdfSingleFile ? 1 : 0);
}
