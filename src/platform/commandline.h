#pragma once

#include <QStringList>

// The program's arguments as text, before any application object exists. On Windows they are
// read from the process's own UTF-16 command line, so that a name in any script arrives whole
// whatever the system's code page; elsewhere they are decoded as the locale says.
QStringList commandLineArguments(int argc, char **argv);
