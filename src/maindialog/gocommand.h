#pragma once

class FmtLists;
class SettingsStore;
struct StoredChoices;

// GO!'s steps before the run, in their order: every choice to the settings store, the PDF
// writer's value when PDF is chosen, then the formats file. A step that fails is skipped without
// a message, and the run starts all the same.
void storeForGo(SettingsStore &store, const StoredChoices &choices, const FmtLists &fmtLists);
