/* The yardstick of the per-action benchmark: the least a custom-action DLL
   can be. One export that does nothing; it names one installer function so
   that the DLL imports msi.dll as every real custom-action DLL does. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

UINT __stdcall NoOp(MSIHANDLE install) {
    if (install == (MSIHANDLE)-1) MsiCloseHandle(install);
    return ERROR_SUCCESS;
}
