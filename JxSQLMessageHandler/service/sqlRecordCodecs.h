// Registration of the XDR codecs of this library's request and reply records
// with the network layer (see JxSession/jxsCodecRegistry.h).
//
// Runs once per process, the first time the plug-in entry serves a session or
// job code builds a requester: loading the library registers nothing.
#pragma once

void SqlRegisterRecordCodecs();
