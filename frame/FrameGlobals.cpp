// Process-wide sections of the handler frame, built when the library is loaded
// and destroyed when it is unloaded.
#include "frame/ZqCriticalSection.h"

ZqCriticalSection gCriticalSectionCTOR;
ZqCriticalSection deleteMediaContent;
