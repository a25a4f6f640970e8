#include "db/DBEngine.h"

#include "db/DaoError.h"
#include "db/Workgroup.h"

namespace dao {

Engine::Engine() = default;

Engine& DBEngine() {
    static Engine engine;
    return engine;
}

namespace {
DaoError badLogon() { return DaoError(err::NoPermission, "Not a valid account name or password."); }
} // namespace

WorkspacePtr Engine::CreateWorkspace(const std::string& name, const std::string& user, const std::string& password, int) {
    if (m_systemDB.empty()) {
        if (!NamesEqual(user, "admin") || !password.empty()) throw badLogon();
    } else if (!Workgroup::Verify(m_systemDB, user, password)) {
        throw badLogon();
    }
    auto ws = std::make_shared<Workspace>(name, user);
    m_workspaces.push_back(ws);
    return ws;
}

WorkspacePtr Engine::Workspaces(int index) {
    if (m_workspaces.empty()) CreateWorkspace("#Default Workspace#", m_defaultUser, m_defaultPassword);
    if (index < 0 || index >= static_cast<int>(m_workspaces.size()))
        throw DaoError(err::ItemNotFound, "Item not found in this collection.");
    return m_workspaces[static_cast<std::size_t>(index)];
}

int Engine::WorkspaceCount() { return static_cast<int>(m_workspaces.size()); }

DatabasePtr Engine::OpenDatabase(const std::string& path, bool exclusive, bool readOnly, const std::string& connect) {
    return Workspaces(0)->OpenDatabase(path, exclusive, readOnly, connect);
}

DatabasePtr Engine::CreateDatabase(const std::string& path, const std::string& locale, int options) {
    return Workspaces(0)->CreateDatabase(path, locale, options);
}

void Engine::Idle(int) noexcept {}
void Engine::BeginTrans() { Workspaces(0)->BeginTrans(); }
void Engine::CommitTrans() { Workspaces(0)->CommitTrans(); }
void Engine::Rollback() { Workspaces(0)->Rollback(); }

void Engine::Reset() noexcept {
    for (auto& ws : m_workspaces) ws->Close();
    m_workspaces.clear();
    m_systemDB.clear();
    m_defaultUser = "admin";
    m_defaultPassword.clear();
}

} // namespace dao
