#include "db/Property.h"

namespace dao {

void Property::SetValue(const Variant& v) {
    // The value changes once it is stored: a value the file refused (a
    // database opened read-only) is not shown as if it were kept.
    if (m_persist) {
        Property stored(m_name, m_type, v);
        m_persist(stored);
    }
    m_value = v;
}

void Properties::Append(const PropertyPtr& p) {
    if (!p) throw DaoError(err::InvalidArgument, "Invalid argument.");
    if (Find(p->Name())) throw DaoError(err::ObjectExists, "Object '" + p->Name() + "' already exists.");
    if (onStore) {
        onStore(*p);
        p->m_persist = onStore;
    }
    pushItem(p);
}

void Properties::appendLoaded(const PropertyPtr& p) {
    p->m_persist = onStore;
    pushItem(p);
}

void Properties::Delete(std::string_view name) {
    int i = IndexOf(name);
    if (i < 0) throw notFound();
    if (onDelete) onDelete(items()[static_cast<std::size_t>(i)]->Name());
    eraseItem(static_cast<std::size_t>(i));
}

PropertyPtr Properties::operator()(std::string_view name) const {
    if (PropertyPtr p = Find(name)) return p;
    throw DaoError(3270, "Property not found.");
}

} // namespace dao
