// App_JobErrorControlManager: the job manager's error-decision rules of a
// client, answered from a rules file under the platform root.
//
// The rules of a client and application type are the XML text of an
// App::JobErrorDecisionRuleList in "appmgr/errorrules/<client id>-<app type>.xml",
// which tests and the demo write. The file's content is handed back as it
// is; judging it is the caller's business.
#pragma once

#include <cstdint>
#include <string>

class App_JobErrorControlManager {
public:
    // Largest rules file handed back.
    static constexpr size_t kMaxRulesBytes = 1u << 20;

    // `request` is the serialised JxEntities::GenericEntity naming the client
    // (its client id). Returns 0 with `reply` filled when the client has
    // rules; JXAPPMGR_E_NO_OBJECT when it has none (no file, or an empty
    // one); JXAPPMGR_E_BAD_VALUE for a request that does not decode or names
    // no client, or a rules file that cannot be read or is too large.
    int getJobErrorRules(const std::string& request, unsigned long appType, std::string& reply, int);

    static std::string RulesFilePath(uint64_t clientId, unsigned long appType);
};
