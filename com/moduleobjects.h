#pragma once

// The count of this module's COM objects alive and of the host's locks on it: the module may be
// unloaded only when both are 0.
namespace ModuleObjects {

void created();
void destroyed();
void lock(bool locked);
bool none();

} // namespace ModuleObjects
