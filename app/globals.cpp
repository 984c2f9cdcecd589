#include "app/globals.h"

// Zero at load: null handles.
AppGlobals g_app;
