// The name this machine gives of itself when it attaches to the central
// server or to another client's agent.
#pragma once

constexpr unsigned long kOwnClientNameSize = 256;

// Fills `name` (zero-terminated): the central server's client name when bit 0
// of the platform type says the central server is installed here, else the
// first 255 characters of the physical machine name.
void GetOwnClientName(char (&name)[kOwnClientNameSize]);
