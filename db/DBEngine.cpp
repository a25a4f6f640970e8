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
// The calling thread's workspaces; the first is its default workspace.
thread_local std::vector<WorkspacePtr> t_workspaces;
DaoError badLogon() { return DaoError(err::NoPermission, "Not a valid account name or password."); }
} // namespace

std::string Engine::SystemDB() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_systemDB;
}

void Engine::SetSystemDB(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_systemDB = path;
}

std::string Engine::DefaultUser() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_defaultUser;
}

void Engine::SetDefaultUser(const std::string& u) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_defaultUser = u;
}

std::string Engine::DefaultPassword() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_defaultPassword;
}

void Engine::SetDefaultPassword(const std::string& p) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_defaultPassword = p;
}

WorkspacePtr Engine::CreateWorkspace(const std::string& name, const std::string& user, const std::string& password, int) {
    const std::string systemDb = SystemDB();
    if (systemDb.empty()) {
        if (!NamesEqual(user, "admin") || !password.empty()) throw badLogon();
    } else if (!Workgroup::Verify(systemDb, user, password)) {
        throw badLogon();
    }
    auto ws = std::make_shared<Workspace>(name, user);
    t_workspaces.push_back(ws);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loggedOnUser = user;
    return ws;
}

WorkspacePtr Engine::Workspaces(int index) {
    if (t_workspaces.empty()) {
        std::string user;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            user = m_loggedOnUser;
        }
        if (user.empty()) CreateWorkspace("#Default Workspace#", DefaultUser(), DefaultPassword());
        else t_workspaces.push_back(std::make_shared<Workspace>("#Default Workspace#", user));
    }
    if (index < 0 || index >= static_cast<int>(t_workspaces.size()))
        throw DaoError(err::ItemNotFound, "Item not found in this collection.");
    return t_workspaces[static_cast<std::size_t>(index)];
}

int Engine::WorkspaceCount() { return static_cast<int>(t_workspaces.size()); }

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
    for (auto& ws : t_workspaces) ws->Close();
    t_workspaces.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loggedOnUser.clear();
    m_systemDB.clear();
    m_defaultUser = "admin";
    m_defaultPassword.clear();
}

} // namespace dao
