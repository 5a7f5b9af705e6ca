// SQLServerOperationBuilder: input checks and construction.
#include "JxSQLCommon/jobbase/SQLServerOperationBuilder.h"

#include "JxSQLCommon/jobbase/LogShrinkOperation.h"

SP<SQLServerOperationBuilder> SQLServerOperationBuilder::getBuilder() { return SP<SQLServerOperationBuilder>(new SQLServerOperationBuilder()); }

SQLServerOperationBuilder& SQLServerOperationBuilder::setOperationType(SQLServerOpType type) {
    m_type = type;
    return *this;
}

SQLServerOperationBuilder& SQLServerOperationBuilder::setSqlDmo(CsqlDMO* dmo) {
    m_dmo = dmo;
    return *this;
}

SQLServerOperationBuilder& SQLServerOperationBuilder::setInstanceName(std::string instance) {
    m_instance = std::move(instance);
    return *this;
}

SQLServerOperationBuilder& SQLServerOperationBuilder::setDatabaseName(std::string database) {
    m_database = std::move(database);
    return *this;
}

bool SQLServerOperationBuilder::validate() {
    if (m_type != SQL_OP_LOG_SHRINK) return false;
    if (m_dmo == nullptr) {
        m_errorText = "Failed to build operation as DMO object is null";
        return false;
    }
    if (m_instance.empty()) {
        m_errorText = "Failed to build operation as instance name is empty";
        return false;
    }
    if (m_database.empty()) {
        m_errorText = "Failed to build operation as database name is empty";
        return false;
    }
    return true;
}

SP<SQLServerOperation> SQLServerOperationBuilder::build() {
    if (m_type != SQL_OP_LOG_SHRINK) return m_operation;
    if (!validate()) return SP<SQLServerOperation>();
    m_operation = SP<SQLServerOperation>(new LogShrinkOperation(m_dmo, m_instance, m_database));
    return m_operation;
}
