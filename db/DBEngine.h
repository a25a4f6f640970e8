#pragma once
// The database engine: the one object at the root of the data-access layer.
// It names the workgroup (system database) file that holds users and their
// passwords, and owns the workspaces.
//
// Threads: the engine itself may be used from any thread. Its workspaces are
// per thread: Workspaces(i), WorkspaceCount, CreateWorkspace, Reset and the
// engine-level OpenDatabase, CreateDatabase and transactions see only the
// calling thread's workspaces, so a transaction begun on one thread never
// reaches the databases another thread opened. A workspace, a database and
// everything opened from it belong to one thread at a time. A thread's
// default workspace is opened for the user last logged on in the process
// (on any thread), so that a background thread works as that user without
// logging on again; before any log-on, for the default user.
#include "db/Workspace.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dao {

class Engine {
public:
    Engine();

    // Path of the workgroup file; empty means the built-in default workgroup,
    // which knows the one user "Admin" with an empty password.
    std::string SystemDB() const;
    void SetSystemDB(const std::string& path);
    std::string Version() const { return "3.6"; }
    std::string DefaultUser() const;
    void SetDefaultUser(const std::string& u);
    std::string DefaultPassword() const;
    void SetDefaultPassword(const std::string& p);

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

    // Closes the calling thread's workspaces and forgets them, and puts the
    // workgroup file and default log-on back to their start values (tests,
    // shutdown).
    void Reset() noexcept;

private:
    mutable std::mutex m_mutex; // guards the three texts below
    std::string m_systemDB;
    std::string m_defaultUser = "admin";
    std::string m_defaultPassword;
    std::string m_loggedOnUser; // the user of the last successful CreateWorkspace
};

// The process's database engine.
Engine& DBEngine();

} // namespace dao
