// The export table: the only place that binds action names to implementations.
#include <windows.h>
#include <msi.h>
