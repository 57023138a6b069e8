#pragma once

#include <QWidget>

class QTreeWidget;

namespace Ui
{
class MemberPanel;
}

namespace lanting
{
class FrmMain;
}

namespace lanting::members
{

// The member panel of "会员消费": lookup by card, name or telephone, the
// member's account and its four histories.
class MemberPanel : public QWidget
{
    Q_OBJECT

public:
    explicit MemberPanel(FrmMain &main);
    ~MemberPanel() override;

    static MemberPanel *of(FrmMain &main);

    void ShowMber(const QString &cardNumber);
    void clearMember();
    void lookup();
    void showTab(int index);
    int currentTab() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void panelShown(int panel);
    void focusCardBox();
    void placeChooser();
    void chooseSelected();
    void showLines(int conId);
    void showTotals(const QString &cardNumber);
    void showPhoto();
    // Appends the next batch of the shown member's history to its list.
    void loadMore(QTreeWidget *list);

    FrmMain &m_main;
    Ui::MemberPanel *m_ui;
    QString m_shown; // whose histories the lists hold
};

} // namespace lanting::members
