// Keeps the runtime's thread-storage directory out of the DLL: Windows XP does not load a
// DLL that carries one through LoadLibrary. The plug-in has no thread-local data.
#include <windows.h>

// The DLL start-up code calls this when it is set; defining it here, empty, spares the
// linker the runtime's own definition and the directory and callbacks that come with it.
extern "C" const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = nullptr;
