// Texts of the contour model: the value-type vocabulary of the contour editor and
// the text of an outcome byte. All texts are constant cp1251 strings.
#pragma once

#include <cstdint>

#include "common/stringlist.h"

// Clears `list`, then appends "Максимальное" (object value 0) and "Минимальное"
// (object value 1): the entry index equals the stored ValueType.
void TWC_FillList(host::StringList* list);

// The text of a ValueType (0 or 1); other values give an empty text.
const char* TW_ValueTypeStr(uint8_t valueType);

// The text of an outcome byte: exactly 0x10 "Сработка"; without 0x10
// "Несработка"; with 0x01 "ВКЛ: Ошибка"; with 0x02 "ВКЛ: Отключение";
// otherwise "ВКЛ: неизвестно". The result is a constant text, never null.
const char* TW_ONOFF2Str(uint8_t flags);
