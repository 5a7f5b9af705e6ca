// SqlSimDescription: builds simulated instances from a short text.
//
// One statement a line; "#" starts a comment. Words are separated by blanks;
// double quotes keep blanks and quotes in a word ("a\"b"); "key=value" words
// set options, and a value may be quoted (password="x y"). An "instance" line
// creates an instance; the lines after it fill that instance:
//
//   instance HOST[/NAME] [version=15.0.4153.1] [clustered=no] [running=yes] [integrated=yes]
//   database NAME [state=online] [recovery=full] [readonly=no] [access=multi_user]
//                 [created=SECONDS] [data=BYTES] [log=BYTES]
//   filegroup DATABASE GROUP
//   file DATABASE GROUP LOGICAL [size=BYTES] [path=RELATIVE]
//   logfile DATABASE LOGICAL [size=BYTES] [path=RELATIVE]
//   login NAME [password=TEXT] [roles=sysadmin,...] [disabled=no]
//   ag NAME [guid=TEXT] [preference=secondary]
//   replica GROUP SERVER [role=secondary] [mode=synchronous_commit] [failover=automatic]
//                 [priority=50] [endpoint=URL]
//   agdatabase GROUP DATABASE [sync=synchronized]
//   backup DATABASE type=D|I|L|F|G|P|Q first=LSN last=LSN [checkpoint=LSN] [base=LSN]
//                 [start=SECONDS] [finish=SECONDS] [copyonly=no] [device=TEXT]
//                 (a device not named "JxSQLVDI_..." is a backup made outside)
//   fulltextcatalog DATABASE at=SECONDS     a full-text catalog added then
//   fileschanged DATABASE at=SECONDS        files or file groups changed then
//
// Every mistake is reported with its line number; what the lines before it
// created stays.
#pragma once

#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

// Applies a description; `created` (may be null) receives the full names of
// the instances it created.
CWzError SqlSimApplyDescription(const std::string& text, std::vector<std::string>* created = nullptr);
