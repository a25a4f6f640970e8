#pragma once
// The private folder of the user's work databases: "varnello-<uid>" in the
// system's temporary folder ($TMPDIR, else /tmp), readable by the user
// alone (0700), its files 0600. A work file is named after the process that
// made it ("vrl<pid>-<n>-<random>.TMP"), so that the files of a process that
// died without cleaning up can be told apart and removed at the next start.
#include <string>

class WorkFolder {
public:
    // The folder, made (or its permissions put right) when needed; throws
    // RunTimeError naming the folder when it cannot be made safely.
    static std::string Path();
    // A new, empty file of this process's own in the folder (mode 0600),
    // already created so that no other process can take its name.
    static std::string NewFile(const std::string& prefix);
    // Removes the work files (and their journals) of processes that no
    // longer run, also where a running process (this one included) has been
    // given the dead one's number since: a file last written before the
    // running process started and not in use by it is the dead one's.
    // Returns how many files went. Never throws.
    static int RemoveDeadFiles() noexcept;
};
