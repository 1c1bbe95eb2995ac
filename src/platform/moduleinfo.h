#pragma once

#include <QString>

// The add-in module's version resource and where the module lies.
struct ModuleVersion {
    QString productName;
    int major = 0;
    int minor = 0;
    QString legalCopyright;
    QString fileDescription;
};

ModuleVersion moduleVersion();

// The native directory of the file that holds the add-in's code: the plugin when the host loaded
// it, the executable when the add-in is linked in.
QString moduleDirectory();
// Puts the module directory elsewhere for the life of the process, for tests that must not
// touch the files beside the built module; an empty text restores the module's own.
void setModuleDirectory(const QString &nativeDirectory);

// The handle the host is given with the callbacks: the module's load address.
quintptr moduleHandle();
