// The fault guard of the Windows build: a vectored handler that turns a processor fault
// on the guarded thread into a jump back to the guard, with the thread's chain of exception
// frames as it was, so the catch-all can report it.
#include <windows.h>

#include "platform/Services.h"

namespace {

// The plug-in runs one extraction at a time, so one armed guard is all there is.
void *g_rgpJump[5];
#ifndef _WIN64
// The head of the thread's chain of exception frames when the guard was armed. A fault
// inside a function that pushed frames of its own leaves them on the chain, pointing into
// the stack the jump abandons; the host's next exception would walk into them.
EXCEPTION_REGISTRATION_RECORD *g_pFrameChain;

// The chain's head is the first word of the thread's information block, at FS:0.
EXCEPTION_REGISTRATION_RECORD *ReadFrameChain()
{
    EXCEPTION_REGISTRATION_RECORD *pFrame;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(pFrame));
    return pFrame;
}

void WriteFrameChain(EXCEPTION_REGISTRATION_RECORD *pFrame)
{
    __asm__ volatile("movl %0, %%fs:0" : : "r"(pFrame) : "memory");
}
#endif
volatile LONG g_fArmed = 0;
DWORD g_dwArmedThread = 0;

bool IsProcessorFault(DWORD dwCode)
{
    switch (dwCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION: return true;
    default: return false;
    }
}

__attribute__((noinline, noreturn)) void LandAfterFault()
{
    __builtin_longjmp(g_rgpJump, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS *pInfo)
{
    if (!g_fArmed || GetCurrentThreadId() != g_dwArmedThread ||
        !IsProcessorFault(pInfo->ExceptionRecord->ExceptionCode)) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    g_fArmed = 0;
    // Resume in a function that jumps back to the guard, with the stack aligned as a call
    // would leave it.
#ifdef _WIN64
    pInfo->ContextRecord->Rsp = (pInfo->ContextRecord->Rsp & ~static_cast<DWORD64>(15)) - 8;
    pInfo->ContextRecord->Rip = reinterpret_cast<DWORD64>(&LandAfterFault);
#else
    pInfo->ContextRecord->Esp = (pInfo->ContextRecord->Esp & ~static_cast<DWORD>(15)) - 4;
    pInfo->ContextRecord->Eip = reinterpret_cast<DWORD>(&LandAfterFault);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Disarms and removes the handler however the guarded call ends, a C++ exception included.
struct ArmedHandler {
    void *hHandler;
    ~ArmedHandler()
    {
        g_fArmed = 0;
        if (hHandler != nullptr) {
            RemoveVectoredExceptionHandler(hHandler);
        }
    }
};

__attribute__((noinline)) bool RunArmed(void (*pfn)(void *), void *pContext)
{
#ifndef _WIN64
    g_pFrameChain = ReadFrameChain();
#endif
    if (__builtin_setjmp(g_rgpJump) != 0) {
#ifndef _WIN64
        WriteFrameChain(g_pFrameChain);
#endif
        return false;
    }
    g_dwArmedThread = GetCurrentThreadId();
    g_fArmed = 1;
    pfn(pContext);
    g_fArmed = 0;
    return true;
}

} // namespace

bool RunFaultGuarded(void (*pfn)(void *), void *pContext)
{
    ArmedHandler handler = {AddVectoredExceptionHandler(1, OnException)};
    if (handler.hHandler == nullptr) {
        pfn(pContext);
        return true;
    }
    return RunArmed(pfn, pContext);
}
