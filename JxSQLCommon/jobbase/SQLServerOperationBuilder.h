// SQLServerOperationBuilder: checks the inputs of a SQL Server operation and
// builds it.
//
//   SP<SQLServerOperationBuilder> builder = SQLServerOperationBuilder::getBuilder();
//   builder->setOperationType(SQL_OP_LOG_SHRINK).setSqlDmo(&dmo)
//          .setInstanceName("HOST/INST").setDatabaseName("Sales");
//   SP<SQLServerOperation> op = builder->build();   // empty when invalid
//
// The builder keeps the operation it built alive as long as the builder
// lives; the caller's SP keeps it alive after that.
#pragma once

#include <string>

#include "JXAppMgr/SPEnabled.h"
#include "JxSQLCommon/jobbase/SQLServerOperation.h"

class CsqlDMO;

enum SQLServerOpType { SQL_OP_NONE = 0, SQL_OP_LOG_SHRINK = 1 };

class SQLServerOperationBuilder : public SPEnabled {
public:
    // A new builder, held by the returned SP.
    static SP<SQLServerOperationBuilder> getBuilder();

    SQLServerOperationBuilder& setOperationType(SQLServerOpType type);
    SQLServerOperationBuilder& setSqlDmo(CsqlDMO* dmo);
    SQLServerOperationBuilder& setInstanceName(std::string instance);
    SQLServerOperationBuilder& setDatabaseName(std::string database);

    // False for a type other than log shrink, or with the reason in
    // getErrorText() when the library object, the instance name or the
    // database name is missing (checked in that order).
    bool validate();
    // The log-shrink operation, or empty when the inputs are not valid; for
    // any other type what was built before (empty when nothing was).
    SP<SQLServerOperation> build();

    const std::string& getErrorText() const { return m_errorText; }

private:
    SQLServerOperationBuilder() = default;

    SP<SQLServerOperation> m_operation;
    SQLServerOpType m_type = SQL_OP_NONE;
    CsqlDMO* m_dmo = nullptr;
    std::string m_instance;
    std::string m_database;
    std::string m_errorText;
};
