#include "util/ui/modZURSTAT.h"

#include "errors/RunTimeError.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {

bool NameMatches(const QWidget* w, const QString& upperName) {
    return w->objectName().toUpper() == upperName ||
           QString::fromLatin1(w->metaObject()->className()).toUpper() == upperName;
}

} // namespace

bool IsFormLoaded(const QString& formName) {
    try {
        const QString wanted = formName.toUpper();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (NameMatches(top, wanted))
                return true;
            for (QMdiArea* area : top->findChildren<QMdiArea*>()) {
                for (QMdiSubWindow* sub : area->subWindowList()) {
                    if (NameMatches(sub, wanted) || (sub->widget() && NameMatches(sub->widget(), wanted)))
                        return true;
                }
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}

std::int32_t MaxLong(std::int32_t a, std::int32_t b) {
    return a >= b ? a : b;
}

void NumericKeyPress(std::int16_t& keyAscii) {
    const bool keep = keyAscii == 46 || keyAscii == 8 || keyAscii == 45 || (keyAscii >= 48 && keyAscii <= 57);
    if (!keep)
        keyAscii = 0;
}

std::int16_t FilterKeyPressNumeric(std::int16_t keyAscii, bool integersOnly) {
    if (keyAscii == 8)
        return keyAscii;
    if (keyAscii >= 48 && keyAscii <= 57)
        return keyAscii;
    if (!integersOnly && (keyAscii == 45 || keyAscii == 46))
        return keyAscii;
    return 0;
}

bool IsZLS(const dao::Variant& value) {
    try {
        if (value.IsNull() || value.IsEmpty())
            return true;
        return value.ToString().empty();
    } catch (...) {
        ShowRoutineError("IsZLS_Err", ", ");
        return false;
    }
}

bool IsZLS(const QVariant& value) {
    if (!value.isValid())
        return true;
    if (value.typeId() == QMetaType::Nullptr)
        return true;
    if (value.typeId() == QMetaType::QString)
        return value.toString().isEmpty();
    if (value.isNull())
        return true;
    return value.toString().isEmpty() && !value.canConvert<double>();
}

dao::Variant NullIfZLS(const std::string& text) {
    if (text.empty())
        return dao::Variant::Null();
    return dao::Variant(text);
}

QVariant NullIfZLS(const QString& text) {
    if (text.isEmpty())
        return QVariant::fromValue(nullptr);
    return QVariant(text);
}

void SelectAllText(QWidget* control) {
    if (!control)
        throw RunTimeError(rterr::ObjectNotSet);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setSelection(0, static_cast<int>(edit->text().size()));
    } else if (auto* text = qobject_cast<QTextEdit*>(control)) {
        text->selectAll();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit()) {
        combo->lineEdit()->selectAll();
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(control)) {
        spin->selectAll();
    } else {
        throw RunTimeError(438, "Object doesn't support this property or method");
    }
}

std::int32_t AddItemDataComboBox(QComboBox* combo, const QString& itemText, std::int32_t itemData) {
    try {
        if (!combo)
            throw RunTimeError(rterr::ObjectNotSet);
        int index = combo->count();
        if (combo->insertPolicy() == QComboBox::InsertAlphabetically) {
            index = 0;
            while (index < combo->count() &&
                   QString::compare(combo->itemText(index), itemText, Qt::CaseInsensitive) <= 0)
                ++index;
        }
        combo->insertItem(index, itemText, QVariant(itemData));
        return index;
    } catch (...) {
        ShowRoutineError("AddItemDataComboBox");
        return 0;
    }
}

dao::Variant GetDirPartOfPath(const dao::Variant& path) {
    try {
        if (path.IsNull() || path.IsEmpty())
            return dao::Variant::Null();
        const std::string text = path.ToString();
        // The scan runs over the untrimmed text but starts at the trimmed length.
        const auto first = text.find_first_not_of(' ');
        const auto last = text.find_last_not_of(' ');
        const std::size_t n = first == std::string::npos ? 0 : last - first + 1;
        if (n == 0)
            return dao::Variant::Null();
        std::size_t p = 0; // 1-based position of the separator found, 0 for none
        for (std::size_t i = n; i >= 1; --i) {
            const char c = text[i - 1];
            if (c == '\\' || c == '/') {
                p = i;
                break;
            }
        }
        if (p >= 3 && p != n)
            return dao::Variant(text.substr(0, p - 1));
        return dao::Variant::Null();
    } catch (...) {
        ShowRoutineError("GetDirPartOfPath_Err", ", ");
        return dao::Variant::Null();
    }
}
