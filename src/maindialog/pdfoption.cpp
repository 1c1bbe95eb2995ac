#include "pdfoption.h"

#include "platform/pdfwritervalue.h"

int getPDFRegKey()
{
    return readPdfWriterValue();
}

void setPDFRegKey(const int &regValue)
{
    // The save run starts whether or not the PDF writer took the value.
    writePdfWriterValue(regValue);
}
