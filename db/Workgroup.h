#pragma once
// The workgroup (system database) file: user accounts with salted, hashed
// passwords. A new file knows the user "Admin" with an empty password.
#include <string>

namespace dao {

class Workgroup {
public:
    // Creates a new workgroup file with the account "Admin" and an empty password.
    static void Create(const std::string& path);
    // True when the user exists and the password matches.
    static bool Verify(const std::string& path, const std::string& user, const std::string& password);
    // Adds a user or replaces its password.
    static void SetUser(const std::string& path, const std::string& user, const std::string& password);

    // Password hashing shared with database passwords.
    static std::string NewSalt();
    static std::string Hash(const std::string& password, const std::string& salt);
};

} // namespace dao
