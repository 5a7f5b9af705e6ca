// Ends a session after a failed exchange, telling the peer why.
#pragma once

class CJxNetwork;

// Aborts `session` with the status {2, the session's last error code, 2}
// (result ignored, as every caller does) and returns that code.
unsigned long SqlAbortWithLastError(CJxNetwork* session, int timeout, bool& flag);
