#pragma once

// Qt inside a host that is not a Qt program. The add-in's windows need a QApplication; the host
// has none, so the add-in makes one at its first connect and keeps it until the module unloads.
// Qt's plugins are found beside the add-in's module, wherever the host runs from.
namespace QtInHost {

// Makes the QApplication if there is none; a host that has its own keeps it.
void start();
// Ends the QApplication if the add-in made it; for the module's unloading only.
void stop();

} // namespace QtInHost
