/* A stand-in for the interface and compiler libraries. The test sets the result and the text
 * through environment variables: DOUBLE_RESULT (interface entry points),
 * DOUBLE_ZPXC_RESULT (the compiler), DOUBLE_TEXT; the call is recorded in the file
 * named by DOUBLE_LOG (one line: entry point and arguments). */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

typedef void (*progress_fn)(int32_t);

static int32_t result_of(const char* var) {
  const char* r = getenv(var);
  return r ? (int32_t)strtol(r, NULL, 0) : 0;
}

static void record(const char* line) {
  const char* log = getenv("DOUBLE_LOG");
  if (!log) return;
  FILE* f = fopen(log, "a");
  if (!f) return;
  fprintf(f, "%s %s\n", DOUBLE_NAME, line);
  fclose(f);
}

static int32_t answer(const char* entry, const char* file, char* iface, int32_t a, int32_t b,
                      progress_fn progress) {
  char line[700];
  snprintf(line, sizeof line, "%s file=%s iface=%s a=%d b=%d", entry, file ? file : "(null)",
           iface ? iface : "(null)", a, b);
  record(line);
  if (progress) {
    progress(50);
    progress(100);
  }
  const char* text = getenv("DOUBLE_TEXT");
  if (iface && text) {
    strncpy(iface, text, 259);
    iface[259] = '\0';
  }
  return result_of("DOUBLE_RESULT");
}

EXPORT int32_t zpx_download(const char* file, char* iface, progress_fn progress) {
  return answer("zpx_download", file, iface, 0, 0, progress);
}

EXPORT int32_t zpx_refresh(const char* file, char* iface, int32_t end, int32_t value,
                           progress_fn progress) {
  return answer("zpx_refresh", file, iface, end, value, progress);
}

EXPORT int32_t zpx_upload(const char* file, char* iface, progress_fn progress) {
  return answer("zpx_upload", file, iface, 0, 0, progress);
}

EXPORT int32_t zpxc(const char* source, const char* target, const char* listing,
                    progress_fn progress) {
  char line[700];
  snprintf(line, sizeof line, "zpxc source=%s target=%s listing=%s", source ? source : "(null)",
           target ? target : "(null)", listing ? listing : "(null)");
  record(line);
  if (progress) progress(5);
  return result_of("DOUBLE_ZPXC_RESULT");
}
