// Names of the files that belong to a dump backup file.
#include "JxSQLCommon/records/SqlRestoreFileNames.h"

#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/FXString.h"

CWzError GetRestoreFileName(const std::string& bakFile, std::string& out) {
    if (bakFile.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "strBakFile is empty");
    out = bakFile + sqlosc::RESTORE_POSTFIX;
    return CWzError::Success();
}

CWzError GetXMLFileNameFromRestoreFileName(const std::string& restoreFile, std::string& out) {
    if (restoreFile.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "restoreFile is empty");

    std::string folder;
    std::string name;
    CWzError err = FXPath::SplitParentPath(restoreFile, folder, name);
    if (err.IsError()) return err.Push(FXCODELOC, "FXPath::SplitParentPath failed %s", restoreFile.c_str());

    std::string xmlFile = folder;
    FXString::RemoveRight(name, sqlosc::RESTORE_POSTFIX);
    err = FXPath::Append(xmlFile, name);
    if (err.IsError()) return err.Push(FXCODELOC, "FXPath::Append failed %s", restoreFile.c_str());

    if (!FXString::RemoveRightNoCase(xmlFile, sqlosc::BAK_EXT))
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "xmlFile does not have proper ext");
    out = xmlFile + sqlosc::XML_EXT;
    return CWzError::Success();
}
