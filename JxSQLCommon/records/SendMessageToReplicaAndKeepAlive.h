// SendMessageToReplicaAndKeepAlive: one XDR request to the message handler of
// another client's agent (typically an availability-group replica), waiting
// for the reply for as long as the peer is still working on it.
#pragma once

#include <string>

class CJxNetwork;
class jxsDatabuf_v2;

// Sends the record in `sendBuffer` under `requestCode` and receives the reply
// into `receiveBuffer`. The session is attached to the agent library of
// `machine` first unless it is already connected. The wait is cut into
// 600-second slices; a slice that ends without data starts the next one
// until `waitMinutes` (0: no limit) are used up. True when the reply arrived;
// the session is then disconnected. Every failure after the send aborts the
// session with {2, its last error code, 2}. `kind` has no effect;
// `replyCode` is this function's own copy, overwritten by the receive.
bool SendMessageToReplicaAndKeepAlive(int kind, const std::string& machine, CJxNetwork* network,
                                      jxsDatabuf_v2* sendBuffer, jxsDatabuf_v2* receiveBuffer,
                                      unsigned long requestCode, unsigned long replyCode, unsigned int waitMinutes);
