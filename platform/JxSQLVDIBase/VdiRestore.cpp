// The engine's RESTORE statement against a simulated instance.
#include "JxSQLVDIBase/VdiRun.h"

void VdiRunRestore(VdiStatement& s) { VdiFail(s, -1, "RESTORE is not available yet."); }
