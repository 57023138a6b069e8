#pragma once

#include "amounts.h"
#include <QDateTime>
#include <QString>
#include <array>

namespace lanting
{

// Program-wide state: who is logged in, the settings kept in memory while the
// program runs, and the routing flags shared by the screens. One object, reset
// between tests.
struct AppState {
    QString programFolder; // holds qzdb.qdb and the working files

    // The logged-in operator.
    QString operatorName;
    QString permissions;
    QDateTime loginTime;
    Amount yuanPerPoint = 0;

    // Settings loaded at start-up.
    int decimals = 2;
    int cardType = 1; // 0 IC card, otherwise magnetic stripe
    QString printer, bt1, bt2, jz1, jz2;
    int copies = 1;
    QString drawerPort;
    // The receipt printer's kind: the system's printer (CUPS), or an ESC/POS
    // printer at this address with paper this wide (58 or 80 mm).
    bool escposPrinter = false;
    QString escposAddress;
    int paperMm = 58;
    // The customer display's port (empty: none).
    QString displayPort;
    int skin = 0;

    // Card-read routing: the screen that receives card numbers, and the slot
    // a screen keeps the previous target in.
    int cardTarget = 0;
    int savedTarget = 0;

    // One flag per screen a hot key opens, raised while it is open.
    enum HotKeyScreen : int { HkRecharge = 0, HkSale = 1, HkDirect = 2, HkExchange = 3 };
    std::array<bool, 4> hotKeyBlocked{};
    bool isJiaobanOK = false;

    bool isIcCard() const { return cardType == 0; }
    void reset() { *this = AppState{}; }
};

AppState &state();

} // namespace lanting
