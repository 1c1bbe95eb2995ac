#include "moduleobjects.h"

#include <atomic>

namespace {

std::atomic<long> liveObjects { 0 };
std::atomic<long> locks { 0 };

} // namespace

void ModuleObjects::created()
{
    ++liveObjects;
}

void ModuleObjects::destroyed()
{
    --liveObjects;
}

void ModuleObjects::lock(bool locked)
{
    locked ? ++locks : --locks;
}

bool ModuleObjects::none()
{
    return liveObjects == 0 && locks == 0;
}
