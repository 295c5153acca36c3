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

/* Renders a zero-terminated code string as ZPF text into destination (128 bytes), for a language
 * (0-7) and lock mode (nonzero: shift lock); flags are the modifiers held before the codes
 * (bit 3 Alt, bit 2 Ctrl, bit 1 Shift, bit 0 right Shift). The text's length goes to *length.
 * Always returns 0. */
int32_t ScanToASCII(char* destination, const char* codes, int32_t flags, int32_t language, int32_t lock_mode,
                    int32_t* length);

#ifdef __cplusplus
}
#endif

#endif
