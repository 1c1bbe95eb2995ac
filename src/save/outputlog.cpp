#include "outputlog.h"

OutputLog &OutputLog::instance()
{
    static OutputLog log;
    return log;
}
