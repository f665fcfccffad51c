// Included by exactly one source file of each plug-in module (its entry points).
//
// The C++ runtime is linked into each module and allocates the arena for exceptions thrown
// when memory runs out as soon as the module is loaded, but never frees it, so each load and
// unload by a host would leak 72 KB.
#pragma once

// Frees that arena.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace vorlak {
namespace {

__attribute__((destructor)) void releaseRuntimeArena() { __gnu_cxx::__freeres(); }

}  // namespace
}  // namespace vorlak
