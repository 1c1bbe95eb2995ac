#pragma once

#include "CadHost.h"

#include <QString>
#include <memory>

// Application-wide values: written once when the add-in connects, read everywhere, kept until the
// module is unloaded.
namespace Quilletmain {

inline QString productName;
// Major version, ".", minor version with at least two digits.
inline QString versionString;
inline QString legalCopyright;
inline QString fileDescription;
// Characters kept out of filename formats: ":\/", CR, TAB, LF, BS.
inline QString unwantedPathChars;
// Characters kept out of file names, those Windows refuses in one: \ / : * ? " < > |, CR, TAB,
// LF, BS.
inline QString unwantedFileChars;
inline std::shared_ptr<CadApplication> hostApp;
// The settings store's section of the add-in's choices, under the application productName.
inline const QString settingsSection = QStringLiteral("Startup");
// The procedure entered last among those that record themselves; quoted in error messages.
inline QString curProcName;

QString formatVersion(int major, int minor);

// Product name, version, copyright and description from the version resource, and the two
// character sets.
void fillFromVersionResource();

// productName + " " + versionString, the start of every caption and status text.
QString productAndVersion();

} // namespace Quilletmain
