// ApplProperty, MSSQLDBProperty, PropertiesList, ApplProperties: the content
// of a subclient as a list of typed properties.
//
// In the model a subclient's properties are keys "property<type>_<n>" whose
// value is the property's text, numbered from 1 per type; a
// property of type 118 is a SQL Server database named by its text.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

constexpr int kApplPropertyTypeSqlDatabase = 118;

class ApplProperty {
public:
    ApplProperty(int type, std::string value) : m_type(type), m_value(std::move(value)) {}
    virtual ~ApplProperty() = default;

    int getType() const { return m_type; }
    const std::string& getValue() const { return m_value; }

private:
    int m_type;
    std::string m_value;
};

// A database of a subclient's content.
class MSSQLDBProperty : public ApplProperty {
public:
    explicit MSSQLDBProperty(std::string databaseName) : ApplProperty(kApplPropertyTypeSqlDatabase, std::move(databaseName)) {}

    const std::string& getDBName() const { return getValue(); }
};

class PropertiesList {
public:
    void addToPropList(std::shared_ptr<ApplProperty> property) { m_properties.push_back(std::move(property)); }
    const std::list<std::shared_ptr<ApplProperty>>& getList() const { return m_properties; }

private:
    std::list<std::shared_ptr<ApplProperty>> m_properties;
};

class ApplProperties {
public:
    explicit ApplProperties(uint64_t subclientId) : m_subclientId(subclientId) {}

    // Appends the subclient's properties, by type and number; 0, or
    // JXAPPMGR_E_NO_OBJECT for a subclient the model does not have. The
    // second argument is accepted and not used.
    int getProperties(PropertiesList& list, void* reserved) const;

private:
    uint64_t m_subclientId;
};
