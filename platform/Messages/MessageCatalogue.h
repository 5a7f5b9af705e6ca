// MessageCatalogue: the message classes the message layer knows.
//
// Each class is identified by its (module, message) pair. The catalogue gives
// it the XML element name that its text carries ("SQLPmn_ErrorMessage") and
// its 32-bit tag id. Tag ids that peers compare against are fixed; every
// other class gets (module << 24) | (24-bit FNV-1a hash of its element name),
// so ids sort by module and are distinct across the whole catalogue (a test
// checks this).
//
// A pair that is not catalogued (an embedded record of another service) is
// still a valid message: its element name is "CNMessage" and its tag id
// follows the rule over the text "module_message".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace messages {

struct CatalogueEntry {
    int module;
    int message;
    const char* elementName;   // namespace and class joined by "_"
    uint32_t tagId;            // 0 in the table: computed by the rule
};

// The entry of a pair, or nullptr when the pair is not catalogued.
const CatalogueEntry* FindByPair(int module, int message);
// The entry whose element name is `name`, or nullptr.
const CatalogueEntry* FindByElementName(const std::string& name);
// Every catalogued class, in table order.
std::vector<CatalogueEntry> AllEntries();

// Element name and tag id of any pair (see above for uncatalogued pairs).
const char* ElementNameOf(int module, int message);
uint32_t TagIdOf(int module, int message);

// The element name of a message whose pair is not catalogued.
inline constexpr const char* kUncataloguedElement = "CNMessage";

}  // namespace messages
