// The library's version as info/2 reports it. The build takes it from the
// package metadata (pyproject.toml), its one place.
#pragma once

#ifndef MIRL_VERSION
#error "MIRL_VERSION comes from the build (CMakeLists.txt)"
#endif

namespace mirl {

constexpr char library_version[] = MIRL_VERSION;

}  // namespace mirl
