// Read before every source built here. The Windows SDK's windows.h defines min and max as macros
// in C++ unless NOMINMAX is defined, which breaks std::min and std::max; MinGW-w64's does not,
// and its C++ library defines NOMINMAX for itself, so only a check of the build's own flags
// catches a target built without it.
#ifndef NOMINMAX
#error "NOMINMAX is not defined: against the Windows SDK, this source would meet min and max macros"
#endif
