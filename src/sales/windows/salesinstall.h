#pragma once

namespace lanting {
class FrmMain;
}

namespace lanting::sales
{
// Puts the goods settings into the main window.
void installSales(FrmMain &main);
}
