/* A library for the loader tests: one exported function. */
__attribute__((visibility("default"))) int zpx_test_answer(void) { return 42; }
