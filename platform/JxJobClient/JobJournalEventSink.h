// JobJournalEventSink: job events go to the job's journal.
//
// Installed for the process by the job's registration: an event raised for a
// job (its job id not 0) becomes an "event" line of that job's journal; an
// event without a job goes to the process's event file as before.
#pragma once

#include "JxLib/EvEventSink.h"

class JobJournalEventSink : public EvEventSink {
public:
    void Record(const EvEventRecord& event) override;

    // Makes the journal sink the process's sink (once; later calls keep it).
    static void InstallForProcess();
};
