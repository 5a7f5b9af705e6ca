// Names under which the backup domain stores job and subclient properties that
// the agent looks up, and a few shared names. The values are property names,
// not credentials.
#pragma once

inline constexpr const char* vmFatalError = "**FatalError**";
inline constexpr const char* JX_PROP_UNC_CREDENTIAL_REF_ID = "UNCPath Credential Assoc Id";
inline constexpr const char* JX_PROP_PREPOST_CREDENTIAL_REF_ID = "prepost Credential Assoc Id";
inline constexpr const char* JX_PROP_USE_CREDENTIAL_USER = "Use Credential Record";
inline constexpr const char* JX_DB_DUMP_CONFIG_XML = "DB Dump Config";
inline constexpr const char* JX_ORACLE_DB_ARCHIVE_CONFIG_OPTIONS_XML = "Oracle DB Archive Config Options XML";
inline constexpr const char* JX_CLOUD_USER_ID = "Cloud User ID";
inline constexpr const char* JX_CLOUD_USER_PASSWORD = "Cloud User Password";
inline constexpr const char* JX_CLOUD_AZURE_SUBSCRIPTION_ID = "Azure Subscription Id";
inline constexpr const char* JX_CLOUD_AZURE_TENANT_ID = "Azure Tenant Id";
inline constexpr const char* JX_PROP_CLOUD_VS_AMAZON_ACCESS_KEY = "Amazon Center Access Key";
inline constexpr const char* JX_PROP_CLOUD_VS_AMAZON_SECRET_KEY = "Amazon Center Secret Key";
inline constexpr const char* JX_PROP_SHAREPOINT_SQL_CLIENT_ID = "SharePoint SQL Client Id";
inline constexpr const char* JX_PROP_SHAREPOINT_RBS_CLIENT_ID = "SharePoint RBS Store Client Id";
inline constexpr const char* JX_PROP_VDI_TIMEOUT = "MSSQL VDI Timeout";
inline constexpr const char* JX_PROP_FILE_SHARE_USER_ID = "File Share User Id";
inline constexpr const char* JX_PROP_FILE_SHARE_USER_GUID = "File Share User GUID";
// Backup operation types of block-level backups, as the job manager lists them.
inline constexpr const char* JMBackupOptypeListForBLR = "4, 14, 18, 30, 43, 59, 60, 65";
// The media agent's mounting service and the name of its mount points.
inline constexpr const char* MOUNTPOINT_NAME = "csless";
inline constexpr const char* JXMA_MOUNTING_POINT_SERVICE = "JXMAMountingPointSvc";
