// Large-page advice on Windows: large pages there need a privilege and memory of their own
// kind, so an ordinary heap block stays as it is.
#include "platform/Services.h"

void AdviseLargeBlock(void *, size_t) {}
