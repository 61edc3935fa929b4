// Functions glibc declares and macOS does not, marked unavailable so that the compile check
// fails where a Mac build would. Force-included into every (C++) source the check compiles
// against libc++; the prototypes repeat glibc's, attributes added.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define SAPWELL_NOT_ON_MACOS __attribute__((unavailable("glibc only: macOS does not declare it")))

extern "C" {
int fdatasync(int) SAPWELL_NOT_ON_MACOS;
int pipe2(int[2], int) noexcept SAPWELL_NOT_ON_MACOS;
int dup3(int, int, int) noexcept SAPWELL_NOT_ON_MACOS;
char* secure_getenv(const char*) noexcept SAPWELL_NOT_ON_MACOS;
int clock_nanosleep(clockid_t, int, const struct timespec*, struct timespec*) SAPWELL_NOT_ON_MACOS;
int posix_fallocate(int, off_t, off_t) SAPWELL_NOT_ON_MACOS;
int sigtimedwait(const sigset_t*, siginfo_t*, const struct timespec*) SAPWELL_NOT_ON_MACOS;
}
