#include "pdfwritervalue.h"

std::unique_ptr<QSettings> openPdfWriterSettings()
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Bluebeam Software\\Pushbutton PDF"),
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
        QStringLiteral("Bluebeam Software"), QStringLiteral("Pushbutton PDF"));
#endif
}

namespace {

const QString valueKey = QStringLiteral("SolidWorksLt/WhatToPlot");

} // namespace

int readPdfWriterValue()
{
    bool ok = false;
    const int value = openPdfWriterSettings()->value(valueKey).toString().trimmed().toInt(&ok);
    return ok ? value : 0;
}

bool writePdfWriterValue(int value)
{
    const auto settings = openPdfWriterSettings();
    // A string value, as the writer's own settings write it; reading takes a number as well.
    const QString text = QString::number(value);
    // The value is set before every PDF run; written again unchanged, it would cost every run
    // of a batch a lock shared by its workers and a write through to the disk.
    const QVariant stored = settings->value(valueKey);
    if (stored.typeId() == QMetaType::QString && stored.toString() == text)
        return settings->status() == QSettings::NoError;
    settings->setValue(valueKey, text);
    settings->sync();
    return settings->status() == QSettings::NoError;
}
