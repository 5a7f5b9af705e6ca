// MessageXmlReader: turns message XML text into a message object.
//
// Internal to the message layer (CNMessageBase::unserialize and XMLDecoder
// use it); the parser itself stays out of every public header.
#pragma once

#include <memory>
#include <string>

#include "Messages/CNMessageBase.h"
#include "WzUtils/FXCodeLocation.h"

namespace messages {

// Parses `xml` into a new message of the class its root element names.
// With `requireCatalogued` the root must be a catalogued class. Returns
// kMsgOk and sets `out`, or a CNMessageResult code and fills `error` (when
// given) with a text that says what is wrong and where.
int ParseMessageXml(const std::string& xml, bool requireCatalogued, std::unique_ptr<CNMessageBase>& out,
                    CWzError* error);

// The error value of a decoding failure: a JX result carrying the code.
CWzError DecodeError(const FXCodeLocation& where, int code, const std::string& text);

}  // namespace messages
