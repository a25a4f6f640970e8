#include "db/DaoError.h"

namespace dao {

namespace {
std::string compose(long number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description;
}
} // namespace

DaoError::DaoError(long number, std::string description, int sqliteCode, std::string sql)
    : std::runtime_error(compose(number, description)),
      m_number(number), m_description(std::move(description)), m_sqliteCode(sqliteCode),
      m_sql(std::move(sql)) {}

} // namespace dao
