// The availability-group collect-file service: turns the database list of an
// SQLPmn::SQLAGCollectFile document into the on-demand collect file of the
// node's job-results directory.
#include "JxSQLMessageHandler/service/AGCollectFileService.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kCollectFileName = "OSCCollectFile.jxf";
constexpr const char* kDumpCollectFileName = "DS_OSCCollectFile.jxf";

// A decimal job id of at most 64 bits; false for anything else.
bool ParseJobId(const std::string& text, unsigned long long& id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    id = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

// The first item that cannot stand on a line of its own, or null.
const std::string* FindUnwritableItem(const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        if (item.find_first_of("\r\n") != std::string::npos) return &item;
    }
    return nullptr;
}

}  // namespace

bool sqlWriteOscCollectFile(CSQLClientDll& service, unsigned int id, bool dsVariant,
                            const std::vector<std::string>& databases, const std::string& instance,
                            std::string& reply) {
    std::vector<std::string> items = databases;
    items.push_back(instance);
    if (const std::string* bad = FindUnwritableItem(items)) {
        reply = getResponseMessage(102, wz::Format("Invalid name [%s] in the request: it contains a line break.",
                                                   bad->c_str()));
        return false;
    }
    std::string path = service.GetOscCollectFilePath(id, dsVariant);
    if (path.empty()) {
        reply = getResponseMessage(122, "Failed to create collect as file path is empty.");
        return false;
    }
    if (!service.WriteToCollectFile(path, databases, instance)) {
        reply = getResponseMessage(122, "Failed to create collect file.");
        return false;
    }
    return true;
}

bool CSQLClientDll::ProcessAGCollectFile(std::string requestXml, std::string& reply) {
    SQLPmn::SQLAGCollectFile request;
    int e = request.unserialize(requestXml);
    if (e != kMsgOk) {
        reply = getResponseMessage(118, wz::Format("Failed to unserialize the data with error [%d].", e));
        return false;
    }
    std::vector<std::string> items = request.getliststring(SQLPmn::SQLAGCollectFile::kDatabases);
    if (items.empty()) {
        reply = getResponseMessage(102, "No databases found in the request.");
        return false;
    }

    // Entry 1 is "<job id>|<instance>"; the instance takes its place.
    size_t bar = items[0].find('|');
    if (bar == std::string::npos) {
        reply = getResponseMessage(102, "The first entry of the request must be the job id, \"|\" and the instance.");
        return false;
    }
    unsigned long long jobId = 0;
    std::string jobText = items[0].substr(0, bar);
    if (!ParseJobId(jobText, jobId)) {
        reply = getResponseMessage(102, wz::Format("Invalid job id [%s] in the request.", jobText.c_str()));
        return false;
    }
    items[0] = items[0].substr(bar + 1);
    // File names carry the id as a 32-bit number; the instance is the first item.
    if (!sqlWriteOscCollectFile(*this, static_cast<unsigned int>(jobId), false, items, "", reply)) return false;
    reply = getResponseMessage(0, "");
    return true;
}

std::string CSQLClientDll::GetOscCollectFilePath(unsigned int id, bool dsVariant) {
    JXPlatformInfo settings;
    std::string node;
    if (!settings.getString("", "sPhysicalNodeName", node) || node.empty()) {
        EV_ERROR(m_event, "Failed to get current phsical node name with error [%lu].",
                 static_cast<unsigned long>(settings.getLastError()));
        return "";
    }
    std::string directory;
    if (!settings.getString("Machines/" + node, "dJOBRESULTSDIR", directory)) {
        EV_ERROR(m_event,
                 "Failed to read registry 'dJOBRESULTSDIR' with error code [%lu] [Reg Error - %d] and error message "
                 "[%s].",
                 static_cast<unsigned long>(settings.getLastError()), settings.getRegError(),
                 settings.getLastErrorMsg().c_str());
        return "";
    }
    return directory + "/" + wz::Format("%u_%s", id, dsVariant ? kDumpCollectFileName : kCollectFileName);
}

bool CSQLClientDll::WriteToCollectFile(const std::string& path, const std::vector<std::string>& databases,
                                       const std::string& instance) {
    std::vector<std::string> lines;
    if (!instance.empty()) lines.push_back(instance);
    for (const std::string& database : databases) {
        EV_DEBUG(m_event, 3, "Adding database [%s] to collect file.", database.c_str());
        lines.push_back(database);
    }
    if (const std::string* bad = FindUnwritableItem(lines)) {
        EV_ERROR(m_event, "Failed to write [%s] to the collect file [%s]: a name cannot contain a line break.",
                 bad->c_str(), path.c_str());
        return false;
    }

    // The new content replaces the file only once complete, so a failure
    // leaves the previous file and no half-written one.
    std::string content;
    for (const std::string& line : lines) content += line + "\n";
    if (!wz::WriteFileAtomically(path, content, 0644)) {
        const int err = errno;
        EV_ERROR(m_event,
                 "Failed to write the collect file[%s]. Error: [%d] [%s]. Please check the permissions for user "
                 "configured at the SQL instance.",
                 path.c_str(), err, std::strerror(err));
        return false;
    }
    EV_DEBUG(m_event, 1, "Processed collect file request successfully.");
    return true;
}
