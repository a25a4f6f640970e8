#pragma once
// A named, typed property of a database object, such as a field's "Description".
#include "db/Collection.h"
#include "db/Variant.h"

#include <functional>
#include <memory>
#include <string>

namespace dao {

class Property {
public:
    Property(std::string name, int type, Variant value)
        : m_name(std::move(name)), m_type(type), m_value(std::move(value)) {}

    const std::string& Name() const noexcept { return m_name; }
    int Type() const noexcept { return m_type; }
    const Variant& Value() const noexcept { return m_value; }
    void SetValue(const Variant& v);

private:
    friend class Properties;
    std::string m_name;
    int m_type;
    Variant m_value;
    std::function<void(const Property&)> m_persist; // set once the property belongs to a stored object
};
using PropertyPtr = std::shared_ptr<Property>;

class Properties : public Collection<Property> {
public:
    // Appends a property; when the owner is stored, the property is stored too.
    void Append(const PropertyPtr& p);
    void Delete(std::string_view name);
    PropertyPtr operator()(std::string_view name) const;
    using Collection<Property>::operator();

    // Storage hooks installed by the owner.
    std::function<void(const Property&)> onStore;
    std::function<void(const std::string&)> onDelete;

private:
    friend class TableDef;
    friend class Field;
    void appendLoaded(const PropertyPtr& p);
    void clear() { clearItems(); }
};

} // namespace dao
