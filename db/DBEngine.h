#pragma once
// The database engine: the one object at the root of the data-access layer.
// It names the workgroup (system database) file that holds users and their
// passwords, and owns the workspaces.
#include "db/Workspace.h"

#include <memory>
#include <string>
#include <vector>

namespace dao {

class Engine {
public:
    Engine();

    // Path of the workgroup file; empty means the built-in default workgroup,
    // which knows the one user "Admin" with an empty password.
    const std::string& SystemDB() const noexcept { return m_systemDB; }
    void SetSystemDB(const std::string& path) { m_systemDB = path; }
    std::string Version() const { return "3.6"; }
    const std::string& DefaultUser() const noexcept { return m_defaultUser; }
    void SetDefaultUser(const std::string& u) { m_defaultUser = u; }
    const std::string& DefaultPassword() const noexcept { return m_defaultPassword; }
    void SetDefaultPassword(const std::string& p) { m_defaultPassword = p; }

    // Workspaces(0) is the default workspace, created on first use.
    WorkspacePtr Workspaces(int index);
    int WorkspaceCount();
    // Logs the user on against the workgroup file: error 3029 for a wrong
    // user or password, 3028 when the workgroup file cannot be read.
    WorkspacePtr CreateWorkspace(const std::string& name, const std::string& user, const std::string& password,
                                 int type = 2);

    DatabasePtr OpenDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                             const std::string& connect = {});
    DatabasePtr CreateDatabase(const std::string& path, const std::string& locale = {}, int options = 0);

    void Idle(int action = 0) noexcept;
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    // Closes every workspace and forgets them (tests, shutdown).
    void Reset() noexcept;

private:
    std::string m_systemDB;
    std::string m_defaultUser = "admin";
    std::string m_defaultPassword;
    std::vector<WorkspacePtr> m_workspaces;
};

// The process's database engine.
Engine& DBEngine();

} // namespace dao
