#pragma once
// Small helpers for reading the data store's answers.
#include <string>

#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"

// A query's text: false when there is no holder; a null text reads as empty.
bool QueryStoreText(IDataAccessorII* store, const wchar_t* name, const std::wstring& parameters, std::wstring* text,
                    bool* hadText = nullptr);

// The leading decimal digits of a text, as _wtoi reads them (white space and a sign
// first); no digits give 0, and values beyond the range of int are clamped.
int LeadingDecimal(const std::wstring& text);
