// A library the simulated board library can depend on, built twice under one
// name: the copy installed beside the board library and a planted one. Each
// says which it is.
extern "C" __attribute__((dllexport)) const char* SimDependencyName() {
#ifdef SIMDEP_PLANTED
  return "planted in the current folder";
#else
  return "beside the library";
#endif
}
