#pragma once

#include <QString>
#include <functional>

namespace lanting::devices
{

class CardReader;

// Card-read targets: the one screen that receives the card numbers read.
enum CardTarget : int {
    TargetNone = 0,
    TargetMainLookup = 1,
    TargetMemberList = 2,
    TargetAddMember = 3,
    TargetTransfer = 4,
    TargetConsumption1 = 5,
    TargetConsumption2 = 6,
    TargetExchangeReport = 7,
    TargetTransferFrom = 8,
    TargetTransferTo = 9,
    TargetReturnReport = 10,
    TargetRechargeReport = 11,
    TargetBalanceReport = 12,
    TargetReferrer = 13,
    TargetNewCard = 14,
};

using CardHandler = std::function<void(const QString &cardNumber)>;

// What a target does with a card number; an empty handler removes it.
void setTargetHandler(int target, CardHandler handler);

// The card number in what a reader delivered: its last 12 characters.
QString cardNumberOf(const QString &data);

// Hands a card number to the current target; nothing for target 0 or a
// target nobody handles.
void deliverCard(const QString &cardNumber);

// A read of the reader: reads are held back while it is handled, status 0
// is discarded, status -1 is acknowledged with a beep when a screen takes it.
void handleCardRead(CardReader &reader, int status, const QString &data);

// Sets a screen's target for as long as the screen is open and puts the
// previous target back on every way out.
class TargetScope
{
public:
    explicit TargetScope(int target);
    ~TargetScope();
    TargetScope(const TargetScope &) = delete;
    TargetScope &operator=(const TargetScope &) = delete;

private:
    int m_previous;
};

} // namespace lanting::devices
