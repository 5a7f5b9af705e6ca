// XDR codecs of the central-server requests of the agent's jobs: backup-set
// and log-mark updates, conversion rules and the jobs' bookkeeping questions.
#pragma once

// Registers their request and reply records with the network layer's codec
// registry; called by SqlRegisterRecordCodecs.
void SqlRegisterCentralServerRecords();
