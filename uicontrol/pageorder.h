#pragma once
// Sending orders to a tab's page and subscribing a record to its page's events.
#include <memory>

#include "uicontrol/keyvaluetext.h"
#include "uicontrol/tabinfo.h"

// Writes the order text and hands it to the record's page. A record without a page
// drops the order; returns whether it was sent.
bool SendPageOrder(CTabInfo& record, const KeyValueMap& order);

// Asks the page for its notifier and subscribes the record to the page event keys, in
// their fixed order; without the status text key when `bWithStatusText` is false.
void SubscribeRecord(const std::shared_ptr<CTabInfo>& spTabInfo, bool bWithStatusText);
