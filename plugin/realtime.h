#pragma once
// Marks functions that run on the audio thread. Under RealtimeSanitizer builds
// (TAVRENA_RTSAN) they are non-blocking, so any allocation, lock or system call
// made while they run is reported.
#if defined(TAVRENA_RTSAN) && defined(__clang__)
#define TAVRENA_NONBLOCKING [[clang::nonblocking]]
#else
#define TAVRENA_NONBLOCKING
#endif
