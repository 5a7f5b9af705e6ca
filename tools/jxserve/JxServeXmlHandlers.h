// XML requests the central-server stand-in answers under request code
// kSqlXmlReqV2 (reply kSqlXmlRsp): the document is handed to the handler
// registered for its message tag id. Each request group registers its XML
// handlers with one file-scope object, as for the XDR handlers:
//
//   static const JxServeXmlRegistration kRestore{{tagId, &ServeRestoreOptions}};
//
// A document whose tag has no handler is answered with an SQLPmn::ErrorMessage
// carrying error code 1, which the requester's CheckGenericError reports.
#pragma once

#include <initializer_list>
#include <string>

class EvDebug;

// Answers `request` (the XML text received) with the reply document's text.
// May throw (the store's exceptions); the session then ends with an abort.
using JxServeXmlHandler = std::string (*)(const std::string& request, EvDebug& log);

struct JxServeXmlHandlerEntry {
    unsigned long tagId;
    JxServeXmlHandler handler;
};

class JxServeXmlRegistration {
public:
    JxServeXmlRegistration(std::initializer_list<JxServeXmlHandlerEntry> entries);
};
