// Loaded at run time by the library loader tests.
extern "C" int PlatformProbeAnswer() {
  return 42;
}
