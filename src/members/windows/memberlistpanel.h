#pragma once

#include "memberlist.h"

#include <QHash>
#include <QWidget>

namespace Ui
{
class MemberListPanel;
}

namespace lanting
{
class FrmMain;
}

namespace lanting::members
{

// The member list of "会员管理": paged, filtered by text and level, the
// disabled members, and the advanced search.
class MemberListPanel : public QWidget
{
    Q_OBJECT

public:
    explicit MemberListPanel(FrmMain &main);
    ~MemberListPanel() override;

    static MemberListPanel *of(FrmMain &main);

    // Shows page NowMberListPage of the members the filter selects and keeps
    // the filter for the page buttons.
    void ShowMberList(const MemberFilter &filter);
    // The same, starting after that card number (the page below the one shown).
    void ShowMberList(const MemberFilter &filter, const QString &after);
    const MemberFilter &lastFilter() const { return m_last; }
    // Shows the page shown again, with what changed since.
    void refresh();
    void query();
    // The card number of the selected row; empty when the list is empty.
    QString selectedId() const;

private:
    void panelShown(int panel);
    void advancedSearch();
    void turnPage(int step);

    FrmMain &m_main;
    Ui::MemberListPanel *m_ui;
    MemberFilter m_last;
    // The card number each page reached starts after, by page number.
    QHash<int, QString> m_pageAfter;
};

} // namespace lanting::members
