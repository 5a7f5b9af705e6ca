// Reply documents of the XML requests: the error document every XML handler
// answers with, the generic response, and the fallback text used when the
// message layer cannot serialise a reply.
#pragma once

#include <string>

class CNMessageBase;

// The XML text of an SQLPmn::ErrorMessage carrying `errorCode` (0 = success)
// and `message`. When serialisation fails, a fallback element
// SQLPmn_ErrorMessage with the two values as escaped attributes.
std::string getResponseMessage(int errorCode, const std::string& message);

// The XML text of a JXGui::GenericResp with the code and text; the fallback
// element JXGui_GenericResp when serialisation fails.
std::string getGenericResponseMessage(int errorCode, const std::string& message);

// "<element codeAttribute="code" textAttribute="text" > </element>" with the
// text escaped for an XML attribute: the last resort of a reply whose
// message cannot be serialised, so that it never goes out empty.
std::string SqlXmlFallbackDocument(const char* element, const char* codeAttribute, long long code,
                                   const char* textAttribute, const std::string& text);

// `message` serialised into `out`; on failure logs the warning with the
// serialiser's code, leaves `out` empty and returns that code.
int SqlSerializeReply(const CNMessageBase& message, std::string& out);
