// XMLDecoder: decoding of any catalogued message class.
#include "Messages/XMLDecoder.h"

#include "JxLib/EvDebug.h"
#include "Messages/MessageXmlReader.h"

XMLDecoder::XMLDecoder() = default;
XMLDecoder::~XMLDecoder() = default;

int XMLDecoder::initialize() { return 0; }

CNMessageBase* XMLDecoder::unSerialize(const std::string& xml) {
    m_lastError = CWzError::Success();
    m_message = decode(xml, &m_lastError);
    return m_message.get();
}

std::unique_ptr<CNMessageBase> XMLDecoder::decode(const std::string& xml, CWzError* error) {
    std::unique_ptr<CNMessageBase> message;
    CWzError failure;
    if (messages::ParseMessageXml(xml, /*requireCatalogued=*/true, message, &failure) != kMsgOk) {
        static EvDebug log("XMLDecoder");
        EV_DEBUG(log, 2, "%s", failure.GetMessage().c_str());
        if (error) *error = failure;
        return nullptr;
    }
    return message;
}
