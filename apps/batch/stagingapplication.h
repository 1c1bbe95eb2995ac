#pragma once

#include "addin/CadHost.h"

#include <memory>

class StagedSaves;

// A host that writes its files itself, seen through staged saves: each save of a document goes to
// a staged file beside its target (see StagedSaves), and a document opened or activated by a
// target's path is the file staged for it, as the stand-in host does for a worker's saves. With
// inPlace, each staged file replaces its target as soon as it is whole, so that a host lost in
// the middle of a save leaves the target as it was.
std::shared_ptr<CadApplication> stagingApplication(
    std::shared_ptr<CadApplication> host, StagedSaves &staging, bool inPlace);
