#pragma once
// The open and save dialogs behind plain properties. Fill the properties,
// call Show(True) for the open dialog or Show(False) for the save dialog, and
// read FileName (the chosen path) and FileTitle (its file name without the
// folder) when it returns True.
//
// Filter holds description and pattern pairs separated by vertical bars:
//     "Databases (*.sqlite;*.db)|*.sqlite;*.db|All files (*.*)|*.*"
// FilterIndex (1-based) chooses the filter shown first; Flags takes the
// common dialogs' flags (OFN_FILEMUSTEXIST, OFN_OVERWRITEPROMPT, ... in
// platform/ui/FileDialogs.h).
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class CFileDialog {
public:
    // Longest file name or title the dialog takes (characters).
    static constexpr int MaxPath = 260;

    const QString& DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const QString& value) { m_defaultExt = value; }
    const QString& DialogTitle() const { return m_dialogTitle; }
    void SetDialogTitle(const QString& value) { m_dialogTitle = value; }
    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& value) { m_fileName = value; }
    const QString& FileTitle() const { return m_fileTitle; }
    void SetFileTitle(const QString& value) { m_fileTitle = value; }
    const QString& InitialDir() const { return m_initialDir; }
    void SetInitialDir(const QString& value) { m_initialDir = value; }
    const QString& Filter() const { return m_filter; }
    void SetFilter(const QString& value) { m_filter = value; }
    std::int16_t FilterIndex() const { return m_filterIndex; }
    void SetFilterIndex(std::int16_t value) { m_filterIndex = value; }
    std::int32_t Flags() const { return m_flags; }
    void SetFlags(std::int32_t value) { m_flags = value; }
    // Owner window as a native window id (0 for none); Parent() takes
    // precedence when set.
    std::int32_t hWndParent() const { return m_hWndParent; }
    void SetHWndParent(std::int32_t value) { m_hWndParent = value; }
    // Stored and returned only.
    std::int16_t MaxFileSize() const { return m_maxFileSize; }
    void SetMaxFileSize(std::int16_t value) { m_maxFileSize = value; }

    // The owner window.
    QWidget* Parent() const { return m_parent; }
    void SetParent(QWidget* parent) { m_parent = parent; }

    // Shows the open dialog (open True) or the save dialog. True when the user
    // chose a file; False on cancel or failure, leaving FileName and FileTitle
    // as they were. A failure is reported in a message box titled "Show".
    bool Show(bool open);

    // The text before its first null character.
    static QString TrimNulls(const QString& text);

private:
    QString m_defaultExt;
    QString m_dialogTitle;
    QString m_fileName;
    QString m_fileTitle;
    QString m_initialDir;
    QString m_filter;
    std::int16_t m_filterIndex = 0;
    std::int32_t m_flags = 0;
    std::int32_t m_hWndParent = 0;
    std::int16_t m_maxFileSize = 0;
    QPointer<QWidget> m_parent;
};
