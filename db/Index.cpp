#include "db/Index.h"

#include "db/DaoError.h"

namespace dao {

FieldPtr Index::CreateField(const std::string& name, int type, long size) const {
    FieldInfo info;
    info.name = name;
    info.type = type ? type : 10;
    info.size = size;
    info.attributes = 0;
    return std::make_shared<Field>(info);
}

void Indexes::Append(const IndexPtr& idx) {
    if (!idx || idx->Name().empty()) throw DaoError(3001, "Invalid argument.");
    if (Find(idx->Name())) throw DaoError(3284, "Index already exists.");
    if (onAppend) onAppend(idx);
    pushItem(idx);
}

void Indexes::Delete(std::string_view name) {
    int i = IndexOf(name);
    if (i < 0) throw notFound();
    if (onDelete) onDelete(items()[static_cast<std::size_t>(i)]->Name());
    eraseItem(static_cast<std::size_t>(i));
}

} // namespace dao
