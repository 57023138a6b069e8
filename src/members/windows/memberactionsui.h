#pragma once

namespace lanting
{
class FrmMain;
}

namespace lanting::members
{

// The buttons of the member panel and the member list: permission first,
// then the checks of each action, then its screen or its write.
void installMemberActions(FrmMain &main);

} // namespace lanting::members
