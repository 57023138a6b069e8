#include "install.h"

#include "memberlistpanel.h"
#include "memberpanel.h"

namespace lanting::members
{

void installMemberPanels(FrmMain &main)
{
    new MemberPanel(main);
    new MemberListPanel(main);
}

} // namespace lanting::members
