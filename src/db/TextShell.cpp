// TextShell is header-only; this unit keeps the vtable in one place.
#include "db/Shell.h"
