#pragma once
// Small shared routines of the forms: loaded-form test, key filters of the
// number boxes, empty-text tests, text selection, combo-box entries with item
// data and the folder part of a path. They use no procedure stack; the ones
// that trap errors show a message box titled with their own name.
#include <QString>
#include <QVariant>

#include <cstdint>

#include "db/Variant.h"

class QComboBox;
class QWidget;

// True when a window of that name is loaded (shown or hidden): a top-level
// window or a window of an MDI area whose object name or class name equals
// the given name without regard to letter case.
bool IsFormLoaded(const QString& formName);

// The larger of the two (the first when they are equal).
std::int32_t MaxLong(std::int32_t a, std::int32_t b);

// Key filter of the number boxes: keeps the full stop (46), backspace (8),
// the minus sign (45) and the digits (48 to 57); sets any other key to 0.
void NumericKeyPress(std::int16_t& keyAscii);

// Key filter of the calculator: backspace passes; with integersOnly only the
// digits pass, without it also the minus sign and the full stop; anything
// else gives 0.
std::int16_t FilterKeyPressNumeric(std::int16_t keyAscii, bool integersOnly);

// True for Null, Empty and the empty text; a blank or the number 0 is not.
bool IsZLS(const dao::Variant& value);
bool IsZLS(const QVariant& value);

// Null when the text is exactly empty, otherwise the text (not trimmed).
dao::Variant NullIfZLS(const std::string& text);
QVariant NullIfZLS(const QString& text);

// Selects the whole text of a text control (line edit, text edit, editable
// combo box, spin box). A control without a text raises error 438.
void SelectAllText(QWidget* control);

// Appends the text to the combo box with the item data (Qt::UserRole) and
// returns its position. A combo box that inserts alphabetically (insert
// policy InsertAlphabetically) is a sorted one: the entry goes to its sorted
// place (letter case not counted).
std::int32_t AddItemDataComboBox(QComboBox* combo, const QString& itemText, std::int32_t itemData);

// The folder part of a path without its last separator ("\" or "/"), or
// Null: Null for no separator, one at position 1 or 2, or one at the end.
dao::Variant GetDirPartOfPath(const dao::Variant& path);
