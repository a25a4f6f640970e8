#pragma once
// Files the application makes for itself on a first start (the default
// workgroup file, the sample database), made whole or not at all.
#include <functional>
#include <string>

// Makes the file at `path` by `make`, which writes it at the path it is
// given, and then gives it the name `path`: a start killed meanwhile leaves
// no half-made file under that name for later starts to take, and two
// starts making it at once both finish, the one renamed last staying.
// Whatever `make` throws is thrown on, with the file it was making removed.
void MakeFileWhole(const std::string& path, const std::function<void(const std::string& part)>& make);

// For tests: called with the made file's path just before it is renamed.
void SetBeforeWholeFileRename(std::function<void(const std::string& part)> hook);
