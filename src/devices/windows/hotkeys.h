#pragma once

namespace lanting
{
class FrmMain;
}

namespace lanting::devices
{

// The cashier's keys on a new main window: F3 exchange, F4 recharge, F5
// goods sale, F6 direct consumption (each ignored while its screen is
// open), Home the cash drawer. They act in every window of the program,
// over any open screen and whatever has the focus.
void installHotKeys(FrmMain &main);

} // namespace lanting::devices
