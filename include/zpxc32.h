/* The keytable compiler library libzpxc32.so. */
#ifndef ZPXC32_H
#define ZPXC32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Receives the progress of a compile in percent (0-100). */
typedef void (*zpxc_progress)(int32_t percent);

/* Compiles a ZPF source into a ZPX keytable and writes a listing of diagnostics.
 * source:   path of the ZPF source (".zpf" is added when it has no extension)
 * target:   path of the ZPX file, or NULL for the source path with the extension ".zpx"
 * listing:  path of the listing, or NULL for "zpxc.out" in the current directory
 * progress: called with the percentage while compiling, or NULL
 * Returns 0 (compiled, listing "OK\n"), -1 (source unreadable, errors, or not written),
 * -2 (no source name), -3 (listing cannot be created). */
int32_t zpxc(const char* source, const char* target, const char* listing, zpxc_progress progress);

#ifdef __cplusplus
}
#endif

#endif
