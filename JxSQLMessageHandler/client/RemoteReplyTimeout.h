// The receive time-out of every reply this process waits for from the
// central server or from another client's agent.
//
// One process-wide value: six hours to start with, raised once per process
// (by the first exchange that gets as far as a successful send) to the attach
// time-out of the settings when that is larger, and never lowered. It is
// read and written without a lock: two first exchanges racing may both read
// the settings, with the same outcome.
#pragma once

class EvDebug;

// Seconds a receive of a reply waits; 21600 until raised.
extern unsigned long giTimeoutSecondsArg;
// True until the settings' attach time-out has been compared once.
extern bool bFetchTimeOutString;

// Called after a successful send: the first call of the process compares the
// attach time-out of the focus instance's session settings with the current
// value (logged at debug level 3 as "nAttachTimeout = [..], Default timeout
// = [..]") and keeps the larger. Returns the receive time-out to use, cut to
// the 32 bits a receive takes.
int RemoteReplyTimeoutSeconds(EvDebug& log);
