#pragma once
// The text a label shows, as a reader would copy it off the screen. A label
// left to decide takes a text that looks like HTML (Qt::mightBeRichText) for
// HTML: the tags vanish and "<br>" breaks the line.
#include <QLabel>
#include <QString>
#include <QTextDocument>

namespace vtest {

inline QString ShownText(const QLabel* label) {
    const Qt::TextFormat format = label->textFormat();
    const bool html = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(label->text()));
    if (!html)
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

} // namespace vtest
