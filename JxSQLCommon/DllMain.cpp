// Library entry kept for the host's loader conventions: loading the library
// starts nothing; DllMain exists, answers success, and nothing calls it.
extern "C" __attribute__((visibility("default"))) int DllMain(void* /*module*/, unsigned long /*reason*/,
                                                              void* /*reserved*/) {
    return 1;
}
