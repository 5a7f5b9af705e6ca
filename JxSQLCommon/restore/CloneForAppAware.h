// Whether clones of application-aware snapshot backups may be mounted: the
// global parameter "nAllowCloneForAppAware" (default "0"; blanks around the
// number are allowed).
#pragma once

bool IsCloneEnabledForAppAware();
