// A library that loads but does not export StaticFactory.
#if defined(_WIN32)
#define SIMBOARD_EXPORT __attribute__((dllexport))
#else
#define SIMBOARD_EXPORT __attribute__((visibility("default")))
#endif

extern "C" SIMBOARD_EXPORT int SomethingElse() { return 0; }
