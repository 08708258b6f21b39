#include "runtime/module.h"

namespace ondex::runtime {

namespace {
HMODULE g_module = nullptr;
}

HMODULE ModuleHandle() { return g_module ? g_module : ::GetModuleHandleW(nullptr); }
void SetModuleHandle(HMODULE module) { g_module = module; }

}  // namespace ondex::runtime
