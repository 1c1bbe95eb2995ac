#pragma once

// The outside PDF writer's "WhatToPlot" value: 1 prints every sheet into one file, 0 the active
// sheet only. On Windows it is the registry value
// HKEY_CURRENT_USER\Software\Bluebeam Software\Pushbutton PDF\SolidWorksLt\WhatToPlot; elsewhere
// the key WhatToPlot of group SolidWorksLt in $XDG_CONFIG_HOME/Bluebeam Software/Pushbutton
// PDF.ini.

#include <QSettings>
#include <memory>

// The writer's settings, where the value is "SolidWorksLt/WhatToPlot".
std::unique_ptr<QSettings> openPdfWriterSettings();

// The value, or 0 when it is absent or not a whole number.
int readPdfWriterValue();
// False when the value could not be written.
bool writePdfWriterValue(int value);
