#pragma once

#include <QString>

// The About box's text: product, version and copyright line, seven blanks, two line breaks,
// 32 blanks and the installed user manual's file URL.
QString aboutText();
// The About box: an information message titled "... [Copyright]", through the message box facade.
void showAboutBox();

// The user manual command: records "mnuShowHelp" as the procedure, looks for the program that
// opens the manual (15001 when it is missing) and the manual below moduleDir
// ("doc\Quillet_User_Manual.html", 16001 when it is missing), and starts it without waiting.
// Every failure is shown in one error box; nothing is raised. A program that ends having opened
// nothing is reported later, when it ends (16101, with the manual's full path).
void showUserManual(const QString &moduleDir);
