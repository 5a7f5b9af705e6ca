// ApplProperty, MSSQLDBProperty, PropertiesList, ApplProperties: the content
// of a subclient as a list of typed properties.
//
// In the model a subclient's properties are keys "property<type>_<n>" whose
// value is the property's text, numbered from 1 per type; a
// property of type 118 is a SQL Server database named by its text, and the
// key "auto118_<n>" = 1 marks one that auto-discovery added.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

constexpr int kApplPropertyTypeSqlDatabase = 118;
// A file group ("group") or one file of it ("group:file").
constexpr int kApplPropertyTypeSqlFileGroup = 119;

class ApplProperty {
public:
    ApplProperty(int type, std::string value, long number = 0)
        : m_type(type), m_value(std::move(value)), m_number(number) {}
    virtual ~ApplProperty() = default;

    int getType() const { return m_type; }
    const std::string& getValue() const { return m_value; }
    // Its number among the subclient's properties of its type (0: not stored).
    long getNumber() const { return m_number; }

private:
    int m_type;
    std::string m_value;
    long m_number;
};

// A database of a subclient's content.
class MSSQLDBProperty : public ApplProperty {
public:
    explicit MSSQLDBProperty(std::string databaseName, bool autoDiscovered = false, long number = 0)
        : ApplProperty(kApplPropertyTypeSqlDatabase, std::move(databaseName), number),
          m_autoDiscovered(autoDiscovered) {}

    const std::string& getDBName() const { return getValue(); }
    // Whether auto-discovery added the database to the content.
    bool isAutoDiscovered() const { return m_autoDiscovered; }

private:
    bool m_autoDiscovered;
};

// A file group or a file of a file/filegroup subclient's content.
class MSSQLFFGProperty : public ApplProperty {
public:
    explicit MSSQLFFGProperty(std::string text, long number = 0)
        : ApplProperty(kApplPropertyTypeSqlFileGroup, std::move(text), number) {}

    const std::string& getFFGName() const { return getValue(); }
};

class PropertiesList {
public:
    void addToPropList(std::shared_ptr<ApplProperty> property) { m_properties.push_back(std::move(property)); }
    const std::list<std::shared_ptr<ApplProperty>>& getList() const { return m_properties; }

private:
    std::list<std::shared_ptr<ApplProperty>> m_properties;
};

// A subclient's properties in the model, and those a reader handed over
// kept in memory (the property cache).
class ApplProperties {
public:
    explicit ApplProperties(uint64_t subclientId) : m_subclientId(subclientId) {}

    void addToCache(std::shared_ptr<ApplProperty> property) { m_cache.addToPropList(std::move(property)); }
    const PropertiesList& getCache() const { return m_cache; }

    // Appends the subclient's properties, by type and number; 0, or
    // JXAPPMGR_E_NO_OBJECT for a subclient the model does not have. The
    // second argument is accepted and not used.
    int getProperties(PropertiesList& list, void* reserved) const;
    // Removes the listed properties (as getProperties numbered them) from
    // the subclient's content; 0, or JXAPPMGR_E_NO_OBJECT.
    int deleteProperties(const PropertiesList& list) const;
    // Appends a database to the content unless it is there already (its
    // name compared without regard to case); 0, or JXAPPMGR_E_NO_OBJECT.
    int addDatabase(const std::string& databaseName, bool autoDiscovered) const;

private:
    uint64_t m_subclientId;
    PropertiesList m_cache;
};
