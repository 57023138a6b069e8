#pragma once

namespace lanting
{
class FrmMain;
}

namespace lanting::members
{

// Puts the member panel and the member list into a new main window.
void installMemberPanels(FrmMain &main);

} // namespace lanting::members
