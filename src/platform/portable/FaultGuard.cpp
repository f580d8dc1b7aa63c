// The fault guard of the portable build. Faults are signals here, and a library must not
// take its host's signal handlers: the code's own bounds checks carry that duty instead.
#include "platform/Services.h"

bool RunFaultGuarded(void (*pfn)(void *), void *pContext)
{
    pfn(pContext);
    return true;
}
