#pragma once
// The sample database a new user finds on the first start: three demo tables
// of realistic data and stored scenarios of the analyses the engine runs, in
// the user's data folder, entered as the first recent database.
//
// Tables:
//   Sales        Region, Month, Units, Revenue, Cost (4 regions x 12 months)
//   TestScores   Class, Student, Math, Reading, Weight (3 classes x 10 students;
//                two reading scores missing)
//   Survey       Respondent, Region, AgeGroup, Preference (120 answers)
// Scenarios: two "Describe", one "Percentiles" and one "Chi-Square".
#include <string>

class CMRU;

class CSampleDatabase {
public:
    static constexpr const char* FileName = "Varnello Sample.db";

    // The user's data folder: VARNELLO_DATA_DIR when set, else
    // $XDG_DATA_HOME/varnello, else ~/.local/share/varnello.
    static std::string DataFolder();
    // The sample database's path in that folder.
    static std::string DefaultPath();

    // Creates the sample database at path (the folder is created when
    // needed). The file must not exist. Database errors propagate.
    static void Create(const std::string& path);

    // When the sample database does not exist yet: creates it and puts it at
    // the top of the recent list (no workgroup, user or password). True when
    // it was created. It bears its name only once it is whole; a failure
    // goes to the application's error handler and leaves no half-made file
    // behind.
    static bool EnsureOnFirstRun(CMRU& recentList);
};
