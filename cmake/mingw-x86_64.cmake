# Cross build for 64-bit Windows with Debian's g++-mingw-w64-x86-64. Not a
# target of the tool: it lets the Windows code run under a 64-bit-only Wine
# on machines that cannot execute 32-bit x86 code.
set(VANTREL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
