// GetCurrentThreadId: the calling thread's id under its Windows name.
#pragma once

#include <pthread.h>

inline unsigned long GetCurrentThreadId() { return static_cast<unsigned long>(::pthread_self()); }
