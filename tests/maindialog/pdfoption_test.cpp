#include "maindialog/pdfoption.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
namespace {

QString pdfWriterIni()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME")
        + QStringLiteral("/Bluebeam Software/Pushbutton PDF.ini");
}

} // namespace

// On Windows the value is in the registry, where its own tests read it.
TEST(PdfOption, KeepsThePdfWritersValueInItsOwnFile)
{
    QFile::remove(pdfWriterIni());
    EXPECT_EQ(getPDFRegKey(), 0);

    // A value that is no whole number reads as 0.
    writeNative(pdfWriterIni(), "[SolidWorksLt]\nWhatToPlot=yes\n");
    EXPECT_EQ(getPDFRegKey(), 0);

    // The value in place already is not written again; another is.
    const QByteArray one = "[SolidWorksLt]\r\nWhatToPlot = 1\r\n";
    writeNative(pdfWriterIni(), one);
    setPDFRegKey(1);
    EXPECT_EQ(readNative(pdfWriterIni()), one);
    setPDFRegKey(0);
    EXPECT_EQ(readNative(pdfWriterIni()), "[SolidWorksLt]\nWhatToPlot=0\n");
}
#endif
