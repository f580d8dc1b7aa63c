// The module-wide failure flag and the one place that raises it.
// Calls for different documents must not overlap: the flag is not guarded.
#include "log/ErrorFlag.h"

unsigned char g_bError = 0;

void RaiseErrorFlag()
{
    g_bError = 1;
}
