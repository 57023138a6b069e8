#include "memberactionsui.h"

#include "frmimport.h"
#include "memberimport.h"

#include "appstate.h"
#include "database.h"
#include "frmaddmem.h"
#include "frmmain.h"
#include "memberactions.h"
#include "memberlistpanel.h"
#include "memberlookup.h"
#include "memberpanel.h"
#include "messages.h"
#include "mod1.h"
#include "ui.h"

#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{

QString unusable(const QString &word)
{
    return u"当前会员的状态处于不可用状态，不能进行"_s + word + u"！"_s;
}

// Runs a database step; false (with the error shown) when it failed.
template <typename F> bool attempt(F &&step)
{
    try {
        step();
        return true;
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    }
}

// The member shown may be acted on; otherwise the refusal is shown.
bool usable(const FrmMain *m, const QString &word)
{
    if (m->NowMberSt == 0)
        return true;
    msgNotice(unusable(word));
    return false;
}

bool hasRows(const QTreeWidget *list, const QString &refusal)
{
    if (list->topLevelItemCount() > 0)
        return true;
    msgNotice(refusal);
    return false;
}

void onClick(QWidget *owner, const QString &button, std::function<void()> action)
{
    QObject::connect(owner->findChild<QPushButton *>(button), &QPushButton::clicked, owner,
                     std::move(action));
}

void panelActions(FrmMain &main, MemberPanel &panel)
{
    auto *lvInfo = panel.findChild<QTreeWidget *>(u"lvInfo"_s);
    auto *lvTx = panel.findChild<QTreeWidget *>(u"lvTx"_s);
    auto *lvDh = panel.findChild<QTreeWidget *>(u"lvDh"_s);
    FrmMain *m = &main;

    // Actions on the member shown that open a screen of their own.
    struct Opening {
        const char *button;
        int permission;
        const char *word;
        const char *screen;
    };
    const Opening openings[] = {
        {"cmdChongzhi", Per::Recharge, "充值", "FrmChongzhi"},
        {"dcButton11", Per::Consume, "消费", "FrmSpxf"},
        {"dcButton12", Per::Consume, "消费", "FrmZhijieXf"},
        {"cmdDhjf", Per::Exchange, "兑换", "FrmDHJF"},
    };
    for (const Opening &o : openings) {
        const QString word = QString::fromUtf8(o.word);
        const QString screen = QString::fromLatin1(o.screen);
        const int permission = o.permission;
        onClick(&panel, QString::fromLatin1(o.button), [m, permission, word, screen] {
            if (!CheckPer(permission))
                return;
            if (m->NowMberID.isEmpty()) {
                msgNotice(u"请先指定会员！"_s);
                return;
            }
            if (!usable(m, word))
                return;
            m->openScreen(screen, m->NowMberID);
        });
    }

    onClick(&panel, u"cmdTuihuo"_s, [m, lvInfo] {
        if (!CheckPer(Per::Return))
            return;
        if (!hasRows(lvInfo, u"没有指定消费记录！"_s))
            return;
        if (!usable(m, u"退货"_s))
            return;
        m->openScreen(u"FrmTuihuo"_s, m->NowMberID);
    });

    // The statement of the member shown; the no-card customer has no account.
    onClick(&panel, u"cmdStatement"_s, [m] {
        if (m->NowMberID.isEmpty()) {
            msgNotice(u"请先指定会员！"_s);
            return;
        }
        if (m->NowMberID == kNoCardId) {
            msgNotice(u"无卡用户没有对账单！"_s);
            return;
        }
        m->openScreen(u"FrmStatement"_s, m->NowMberID);
    });

    onClick(&panel, u"cmdAddsj"_s, [m] {
        if (m->NowMberID.isEmpty()) {
            msgNotice(u"没有指定会员！"_s);
            return;
        }
        if (!usable(m, u"添加"_s))
            return;
        m->openScreen(u"FrmAddremind"_s, m->NowMberID);
    });

    onClick(&panel, u"cmdEditsj"_s, [m, lvTx] {
        if (!hasRows(lvTx, u"没有指定事件记录！"_s))
            return;
        if (!usable(m, u"修改"_s))
            return;
        m->openScreen(u"FrmAddremind.edit"_s, ui::currentOrFirst(lvTx));
    });

    onClick(&panel, u"cmdDelsj"_s, [m, lvTx] {
        if (!hasRows(lvTx, u"没有指定事件记录！"_s))
            return;
        if (!usable(m, u"删除"_s))
            return;
        if (!askYesNo(u"是否删除选中提醒事件？"_s, u"确认"_s))
            return;
        const QString id = ui::currentOrFirst(lvTx);
        if (attempt([&] { deleteReminder(id.toInt()); }))
            m->ShowMber(m->NowMberID);
    });

    onClick(&panel, u"cmdDelDhjl"_s, [m, lvDh] {
        if (!hasRows(lvDh, u"没有指定兑换记录！"_s))
            return;
        if (!usable(m, u"删除"_s))
            return;
        if (!askYesNo(u"删除兑换记录后积分将返还给会员，是否删除选中兑换记录？"_s, u"确认"_s))
            return;
        const QString id = ui::currentOrFirst(lvDh);
        bool deleted = false;
        if (!attempt([&] { deleted = deleteExchange(m->NowMberID, id.toInt()); }))
            return;
        if (!deleted)
            msgNotice(u"此兑换记录已被删除，积分没有再次返还。"_s);
        m->ShowMber(m->NowMberID);
    });
}

void listActions(FrmMain &main, MemberListPanel &list)
{
    FrmMain *m = &main;
    MemberListPanel *l = &list;
    auto button = [l](int i) { return u"CmdGl_%1"_s.arg(i); };
    // The selected card number; empty with the message when the list is empty.
    auto selected = [l](const QString &emptyMessage) {
        const QString id = l->selectedId();
        if (id.isEmpty())
            msgNotice(emptyMessage);
        return id;
    };
    auto rerun = [l] { l->refresh(); };
    // Permission (0: none needed), a selected row, and not the no-card
    // customer when a refusal for it is given: the card number, or empty
    // after the refusal was shown.
    auto pick = [selected](int permission, const QString &emptyMessage,
                           const QString &noCardMessage) -> QString {
        if (permission && !CheckPer(permission))
            return {};
        const QString id = selected(emptyMessage);
        if (!id.isEmpty() && !noCardMessage.isEmpty() && id == kNoCardId) {
            msgNotice(noCardMessage);
            return {};
        }
        return id;
    };

    onClick(l, button(0), [m] {
        if (!CheckPer(Per::AddMember))
            return;
        FrmAddmem form(m);
        ui::execModal(&form);
    });

    onClick(l, u"cmdListStatement"_s, [m, pick] {
        const QString id = pick(0, u"没有指定会员！"_s, u"无卡用户没有对账单！"_s);
        if (!id.isEmpty())
            m->openScreen(u"FrmStatement"_s, id);
    });

    // Members from a spreadsheet bring their balances in: adding members and
    // recharging are both asked for.
    onClick(l, u"cmdImport"_s, [m, rerun] {
        if (!CheckPer(Per::AddMember) || !CheckPer(Per::Recharge))
            return;
        ui::FrmImport dlg(m, u"会员"_s, u"等级"_s, memberImportPlan, importMembers);
        if (!dlg.chooseFile())
            return;
        ui::execModal(&dlg);
        if (dlg.result())
            rerun();
    });

    auto modify = [m, pick, rerun] {
        const QString id = pick(Per::EditMember, u"没有指定会员！"_s, u"无卡用户不允许被修改！"_s);
        if (id.isEmpty())
            return;
        std::optional<Member> member;
        if (!attempt([&] { member = readMember(id); }))
            return;
        if (member && member->st != 0) {
            msgNotice(u"选中会员已被挂失或禁用，不能修改信息！"_s);
            return;
        }
        FrmAddmem form(m);
        if (!form.ReadInfo(id)) {
            msgNotice(u"此会员不存在！"_s);
            return;
        }
        ui::execModal(&form);
        if (form.IsOK)
            rerun();
    };
    onClick(l, button(1), modify);
    QObject::connect(l->findChild<QTreeWidget *>(u"lvMber"_s), &QTreeWidget::itemDoubleClicked, l,
                     modify);

    onClick(l, button(2), [pick, rerun] {
        const QString id = pick(Per::EditMember, u"没有指定会员！"_s, u"无卡用户不允许被删除！"_s);
        if (id.isEmpty())
            return;
        if (!askYesNo(u"是否删除选定会员？"_s, u"确认"_s, true))
            return;
        if (attempt([&] { deleteMember(id); }))
            rerun();
    });

    onClick(l, button(3), [pick, rerun] {
        const QString id = pick(Per::LossDisable, u"没有指定会员！"_s, u"无卡用户不允许被禁用！"_s);
        if (id.isEmpty())
            return;
        if (!askYesNo(u"您确实要禁用选中的会员吗？"_s, u"确认"_s))
            return;
        DisableResult r = DisableResult::NoSuchMember;
        if (!attempt([&] { r = disableMember(id); }))
            return;
        if (r == DisableResult::NotNormal)
            msgNotice(u"选中会员的状态已经是禁用或挂失状态，不能操作！"_s);
        else if (r == DisableResult::Disabled)
            msgNotice(u"禁用成功！"_s);
        rerun();
    });

    onClick(l, button(4), [m, pick, selected] {
        if (!CheckPer(Per::Recharge))
            return;
        const QString id = selected(u"没有指定会员！"_s);
        if (id.isEmpty())
            return;
        bool bad = false;
        if (!attempt([&] { bad = memberUnusable(id); }))
            return;
        if (bad) {
            msgNotice(unusable(u"充值"_s));
            return;
        }
        m->openScreen(u"FrmChongzhi"_s, id);
    });

    onClick(l, button(5), [m, pick, selected] {
        const QString id = pick(Per::Transfer, u"没有指定转出会员！"_s, u"无卡用户不允许转账！"_s);
        if (id.isEmpty())
            return;
        bool bad = false;
        if (!attempt([&] { bad = memberUnusable(id); }))
            return;
        if (bad) {
            msgNotice(unusable(u"转账"_s));
            return;
        }
        m->openScreen(u"frmZz"_s, id);
    });

    // Export and print check permission 8 in the report export itself.
    onClick(l, button(6), [m] { m->openScreen(u"ExportMemberList"_s, QString()); });
    onClick(l, button(7), [m] { m->openScreen(u"PrintMemberList"_s, QString()); });

    onClick(l, button(8), [m, pick, selected] {
        const QString id = pick(0, u"没有指定会员！"_s, u"无卡用户不允许被挂失！"_s);
        if (id.isEmpty())
            return;
        m->openScreen(u"frmGs"_s, id);
    });

    onClick(l, u"cmdQxjy"_s, [l] {
        const QString id = l->selectedId();
        if (id.isEmpty())
            return;
        if (attempt([&] { cancelDisable(id); }))
            msgSuccess(u"操作已成功！"_s);
    });
}

} // namespace

void installMemberActions(FrmMain &main)
{
    panelActions(main, *MemberPanel::of(main));
    listActions(main, *MemberListPanel::of(main));
}

} // namespace lanting::members
