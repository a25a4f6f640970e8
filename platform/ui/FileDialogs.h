#pragma once
// The open and save dialogs. The request carries what the common dialogs were
// given (title, initial file and folder, filter pairs, default extension,
// flags); the answer is the chosen path, or nothing on cancel.
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace platform::ui {

// Dialog flags understood here (the common dialogs' values); others are ignored.
constexpr unsigned OFN_READONLY = 0x00000001;
constexpr unsigned OFN_OVERWRITEPROMPT = 0x00000002;
constexpr unsigned OFN_HIDEREADONLY = 0x00000004;
constexpr unsigned OFN_NOCHANGEDIR = 0x00000008;
constexpr unsigned OFN_PATHMUSTEXIST = 0x00000800;
constexpr unsigned OFN_FILEMUSTEXIST = 0x00001000;
constexpr unsigned OFN_CREATEPROMPT = 0x00002000;

struct FileDialogRequest {
    bool open = true;          // open dialog, else save dialog
    QWidget* parent = nullptr; // owner window
    QString title;
    QString fileName;          // initial file (may carry a folder)
    QString initialDir;
    QString defaultExt;        // without the dot
    QStringList nameFilters;   // "Description (*.a *.b)"
    int filterIndex = 1;       // 1-based; 0 counts as 1
    unsigned flags = 0;
};

// Turns "Description|pattern|Description|pattern" into name filters. Patterns
// separated by ";" are listed with blanks; a description that already ends in
// its pattern list in brackets is kept as it is. A description without a
// pattern becomes a filter for every file.
QStringList NameFiltersFromBarFilter(const QString& filter);

// Shows the dialog modally (Qt's own dialog, so it behaves the same on every
// desktop). Returns the chosen path, or nothing when the user cancelled.
std::optional<QString> RunFileDialog(const FileDialogRequest& request);

} // namespace platform::ui
