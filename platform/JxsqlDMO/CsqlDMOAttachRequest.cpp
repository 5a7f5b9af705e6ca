// CsqlDMO: attach and detach the databases of a whole attach request, as
// mounts and clones of snapshots send them.
#include <strings.h>

#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

namespace {

// The request's instance and databases; false with `error` when the text is
// no attach request.
bool ReadRequest(const std::string& xml, std::string& instance, std::vector<SQLPmn::AttachDB>& entries,
                 std::string& error) {
    SQLPmn::AttachDBMsg message;
    if (message.unserialize(xml) != kMsgOk || message.getModule() != 34 || message.getMessage() != 12) {
        error = "The attach request cannot be read.";
        return false;
    }
    instance = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases) &&
        !message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries)) {
        error = "The databases of the attach request cannot be read.";
        return false;
    }
    for (const SQLPmn::AttachDB& entry : entries) {
        if (entry.getstring(SQLPmn::AttachDB::kAttachName).empty()) {
            error = "The attach request names a database without a name.";
            return false;
        }
    }
    return true;
}

// ReadRequest, and the instance the request is carried out on: the
// connected one (which the request must not contradict), else the one the
// request names.
bool ReadRequestFor(const SqlSimInstance* connected, const std::string& xml, std::string& instance,
                    std::vector<SQLPmn::AttachDB>& entries, std::string& error) {
    if (!ReadRequest(xml, instance, entries, error)) return false;
    if (connected && !instance.empty() && strcasecmp(connected->Name().c_str(), instance.c_str()) != 0) {
        error = wz::Format("The attach request is for [%s], not for the connected instance [%s].", instance.c_str(),
                           connected->Name().c_str());
        return false;
    }
    if (connected) instance = connected->Name();
    if (instance.empty()) {
        error = "The attach request names no instance and none is connected.";
        return false;
    }
    return true;
}

}  // namespace

bool CsqlDMO::AttachDatabases(const std::string& xml, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("AttachDatabases", text);
    };
    std::string instance, error;
    std::vector<SQLPmn::AttachDB> entries;
    if (!ReadRequestFor(m_instance.get(), xml, instance, entries, error)) return fail(error);
    if (entries.empty()) return fail("The attach request names no database.");
    std::vector<std::string> attached;
    for (const SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        std::string entryText;
        if (entry.serialize(entryText) != kMsgOk) {
            error = wz::Format("The attach entry of [%s] cannot be serialized.", name.c_str());
        } else if (AttachDatabase(instance, entryText, error)) {
            attached.push_back(name);
            continue;
        }
        for (const std::string& back : attached) {
            std::string ignored;
            // The attach failure is what the caller hears of; a failed undo is logged by DetachDB.
            (void)DetachDB(instance, back, ignored);
        }
        return fail(wz::Format("Failed to attach database [%s]: %s", name.c_str(), error.c_str()));
    }
    return true;
}

bool CsqlDMO::DetachDB(const std::string& xml, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("DetachDB", text);
    };
    std::string instance, error;
    std::vector<SQLPmn::AttachDB> entries;
    if (!ReadRequestFor(m_instance.get(), xml, instance, entries, error)) return fail(error);
    for (const SQLPmn::AttachDB& entry : entries) {
        if (!DetachDB(instance, entry.getstring(SQLPmn::AttachDB::kAttachName), error)) {
            errorText = error;
            return false;
        }
    }
    return true;
}
