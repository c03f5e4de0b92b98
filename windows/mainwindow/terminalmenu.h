#pragma once

// The copy entries of the terminal table's popup menu.

#include "tessel/tesselcommon.h"

class QMenu;
class QObject;

namespace tessel {

// Appends a separator, "复制序列号" and "复制IP" to `menu`, the actions owned
// by `owner`. They copy `terminal`'s serial number or IP address and are
// disabled when no listed terminal is under the pointer (`terminal` null).
void appendCopyEntries(QMenu* menu, QObject* owner, const tsc::SearchResponseData* terminal);

} // namespace tessel
