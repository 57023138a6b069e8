#pragma once

#include "amounts.h"

#include <QString>
#include <QStringList>

namespace lanting
{

// The twelve permissions in the order of the permission string, with the
// texts shown in the operator settings window.
namespace Per
{
enum : int {
    AddMember = 1,
    Consume = 2,
    Return = 3,
    Settings = 4,
    Recharge = 5,
    Transfer = 6,
    Exchange = 7,
    Export = 8,
    LossDisable = 9,
    EditMember = 10,
    Reports = 11,
    Operators = 12,
};
}
const QStringList &permissionTexts();
// The permission string a new operator gets.
inline constexpr char16_t kNewOperatorPer[] = u"111011101000";

// True unless character n (from 1) of the logged-in operator's permission
// string is "0"; positions past its end grant.
bool HasPer(int n);
// "您没有权限执行此操作！"
void NoPerMsg();
// HasPer, showing the refusal when it fails.
bool CheckPer(int n);

// Discount rate in percent of a level; 100 when there is no such level.
Amount GetLvZk(const QString &levelName);

// Deletes a sale with its line items, in one transaction.
void DelCon(int conId);

// Writes a row of the operation log for the logged-in operator.
void WriteLog(const QString &type, const QString &content);

} // namespace lanting

namespace lanting
{
// Level names in the order the database returns them.
QStringList levelNames();
} // namespace lanting
