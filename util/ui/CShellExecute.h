#pragma once
// Starting documents, programs, folders, mail and web addresses through the
// desktop. Every launching method takes the owner window first and returns -1
// (True) when the request was accepted, otherwise the shell's error code
// (0 to 32: 2 file not found, 3 path not found, 31 nothing to open it with).
//
// LaunchDocument and LaunchProgram remember the process they started, so that
// StillExecuting can tell whether it still runs.
#include <QString>

#include <cstdint>

class CShellExecute {
public:
    // Show commands.
    static constexpr int SW_HIDE = 0;
    static constexpr int SW_SHOWNORMAL = 1;
    static constexpr int SW_SHOWMINIMIZED = 2;
    static constexpr int SW_SHOWMAXIMIZED = 3;

    // True while the program or document started last by LaunchDocument or
    // LaunchProgram still runs.
    bool StillExecuting();

    long Explore(std::int32_t hWnd, const QString& folder, int showCmd);
    long LaunchDocument(std::int32_t hWnd, const QString& file, const QString& folder, int showCmd);
    // Opens a new message to the address in the mail program ("mailto:").
    long LaunchEmail(std::int32_t hWnd, const QString& address, int showCmd);
    long LaunchFolder(std::int32_t hWnd, const QString& folder, int showCmd);
    long LaunchProgram(std::int32_t hWnd, const QString& program, const QString& parameters, const QString& folder,
                       int showCmd);
    long LaunchURL(std::int32_t hWnd, const QString& url, int showCmd);
    long PrintDocument(std::int32_t hWnd, const QString& file);

private:
    void Clear();
    static long Result(long instance) { return instance > 32 ? -1 : instance; }

    long m_instance = 0;
    std::int64_t m_process = 0;
};
