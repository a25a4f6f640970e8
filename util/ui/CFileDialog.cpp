#include "util/ui/CFileDialog.h"

#include "errors/RunTimeError.h"
#include "platform/ui/FileDialogs.h"

#include <QFileInfo>

bool CFileDialog::Show(bool open) {
    try {
        // The file name and title travel in buffers of MaxPath characters.
        if (m_fileName.size() > MaxPath || m_fileTitle.size() > MaxPath)
            throw RunTimeError(rterr::InvalidProcedureCall);

        platform::ui::FileDialogRequest request;
        request.open = open;
        request.parent = m_parent;
        if (!request.parent && m_hWndParent != 0)
            request.parent = QWidget::find(static_cast<WId>(static_cast<std::uint32_t>(m_hWndParent)));
        request.title = m_dialogTitle;
        request.fileName = TrimNulls(m_fileName);
        request.initialDir = m_initialDir;
        request.defaultExt = m_defaultExt;
        request.nameFilters = platform::ui::NameFiltersFromBarFilter(m_filter);
        request.filterIndex = m_filterIndex;
        request.flags = static_cast<unsigned>(m_flags);

        const std::optional<QString> chosen = platform::ui::RunFileDialog(request);
        if (!chosen)
            return false;
        m_fileName = TrimNulls(*chosen);
        m_fileTitle = QFileInfo(m_fileName).fileName();
        return true;
    } catch (...) {
        ShowRoutineError("Show");
        return false;
    }
}

QString CFileDialog::TrimNulls(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}
