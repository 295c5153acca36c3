/* An interface library without any of the entry points the utility binds. */
__attribute__((visibility("default"))) int zpx_nothing_here(void) { return 0; }
