// AppModel: the backup domain's application model, kept in one file under the
// platform root ("appmgr/model.ini").
//
// Each object is a section named by its kind and id, its properties are keys:
//
//   [client/2]        name=node1  hostName=node1.example
//   [instance/7]      name=node1/INST  clientId=2  serverType=DataBase Engine
//   [subclient/1234]  instanceId=7  clientId=2  tunableBlockSize=65536
//   [domain]          useIndexingV2=1
//
// Tests and the demo write the model through Set; the application objects
// (ApplicationId, MsSqlSubclient, MsSqlInstance, JXClient...) read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Results of the application objects' getters (0 = the value was written).
constexpr int JXAPPMGR_E_NO_OBJECT = 2;     // the object is not in the model
constexpr int JXAPPMGR_E_BAD_VALUE = 13;    // the property's text does not fit its type
constexpr int JXAPPMGR_PROP_NOT_SET = 0x80001;  // the object exists, the property does not

class AppModel {
public:
    static std::string FilePath();
    static std::string ObjectName(const std::string& kind, uint64_t id);

    static bool Exists(const std::string& object);
    static std::optional<std::string> Get(const std::string& object, const std::string& key);
    static bool Set(const std::string& object, const std::string& key, const std::string& value);

    // Reads a property: 0 with the value written, or one of the codes above.
    static int GetText(const std::string& object, const std::string& key, std::string& value);
    static int GetSigned(const std::string& object, const std::string& key, int64_t& value);
    static int GetUnsigned(const std::string& object, const std::string& key, uint64_t& value);

    // The id of the first object of a kind whose property equals the value.
    static std::optional<uint64_t> FindByProperty(const std::string& kind, const std::string& key,
                                                  const std::string& value);

    // Look-ups of applications (ApplicationId) are recorded with the
    // backup-domain id they were asked under, in "appmgr/lookups.ini", so
    // that tests can read which domain a job asked in; every id, 0 too, is
    // accepted. The id of the latest look-up of `appNumber`, if any.
    static void RecordLookup(uint64_t jxCellId, uint64_t appNumber);
    static std::optional<uint64_t> LookedUpJxCellId(uint64_t appNumber);
};
