#include "app/globals.h"

// Zero at load: null handles and pointers, switches off, empty text.
AppGlobals g_app;
