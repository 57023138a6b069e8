#pragma once

namespace lanting
{
class FrmMain;
}

namespace lanting::devices
{

// Puts the card reader Qzic into a new main window: the connect button,
// the reader state in the status bar, the routing of its reads, the reset
// step, and the card settings icon.
void installReader(FrmMain &main);

} // namespace lanting::devices
