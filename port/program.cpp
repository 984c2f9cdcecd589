#include "port/program.h"

// Zero at load: no ports, switches off.
ProgramState g_program;
