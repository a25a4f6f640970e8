#pragma once
// The help file behind plain methods. Each method hands one help command to
// the help engine (platform/ui/Help.h) and ignores its result.
#include <QString>

#include <cstdint>

class CWinHelp {
public:
    const QString& HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString& helpFile) { m_helpFile = helpFile; }

    void CloseFile();
    void HelpOnHelp();
    void OpenContents();
    void OpenFinder();
    void OpenContext(std::int32_t contextId);
    void RunMacro(const QString& macro);
    void SearchDialog();
    void SearchFor(const QString& keyword);

private:
    QString m_helpFile;
};
