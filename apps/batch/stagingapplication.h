#pragma once

#include "addin/CadHost.h"

#include <memory>

class StagedSaves;

// A host that writes its files itself, seen through staged saves: each save of a document goes to
// a staged file beside its target (see StagedSaves), and a document opened or activated by a
// target's path is the file staged for it, as the stand-in host does for a worker's saves.
std::shared_ptr<CadApplication> stagingApplication(
    std::shared_ptr<CadApplication> host, StagedSaves &staging);
