// A loadable module without VST 2 entry points, for the host library's loader errors.
extern "C" __attribute__((visibility("default"))) int vorlakNotAnEntryPoint() { return 7; }
