// XMLDecoder: decodes the XML text of any catalogued message class.
//
//   XMLDecoder decoder;
//   CNMessageBase* m = decoder.unSerialize(text);     // owned by the decoder
//   if (m && m->getTagID() == kSomeTag) { SomeClass typed; typed.copyFrom(*m); }
//
//   std::unique_ptr<CNMessageBase> m = XMLDecoder::decode(text, &err);   // owned by the caller
//
// The decoded message is a CNMessageBase carrying the class's (module,
// message) pair and fields; message classes add no members, so copyFrom or
// unserialize into the typed class gives the typed object. Decoding failures
// (see CNMessageBase.h for what is refused) give nullptr and a CWzError whose
// JX result code is a CNMessageResult.
#pragma once

#include <memory>
#include <string>

#include "Messages/CNMessageBase.h"
#include "WzUtils/CWzError.h"

class XMLDecoder {
public:
    XMLDecoder();
    ~XMLDecoder();
    XMLDecoder(const XMLDecoder&) = delete;
    XMLDecoder& operator=(const XMLDecoder&) = delete;

    // Nothing to prepare: returns 0.
    int initialize();

    // Decodes `xml`; the message stays valid until the next unSerialize or the
    // decoder's destruction. nullptr on failure, the reason in lastError().
    CNMessageBase* unSerialize(const std::string& xml);
    const CWzError& lastError() const { return m_lastError; }

    // Decodes `xml` into a message the caller owns; nullptr on failure, the
    // reason in `*error` when given.
    static std::unique_ptr<CNMessageBase> decode(const std::string& xml, CWzError* error = nullptr);

private:
    std::unique_ptr<CNMessageBase> m_message;
    CWzError m_lastError;
};
