#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QLabel;
class QTimer;

namespace Ui
{
class FrmMain;
}

namespace lanting
{

// The main window: navigation between the four panels, the tool buttons,
// the report and settings icons, the status bar and its clock. It stays for
// the whole shift.
class FrmMain : public QMainWindow
{
    Q_OBJECT

public:
    enum Panel { PanelXf, PanelGl, PanelTj, PanelSz };
    using Action = std::function<void()>;

    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

    // Card number and state of the member shown, the member list page, and
    // whether the window is closing for a handover.
    QString NowMberID;
    int NowMberSt = 0;
    int NowMberListPage = 1;
    bool isJiaoban = false;

    // Run for every new main window, in the order added: the subsystems put
    // their panels, devices and screens into it.
    static void addExtension(std::function<void(FrmMain &)> extension);

    // The panel page a subsystem fills (PicXf, PicGl, PicTj, PicSz).
    QWidget *panelPage(Panel panel) const;

    // The text of a label of the member panel (lblName, lblLv, lblKnye, ...):
    // what the cashier sees of the member shown.
    QString shownMember(const QString &label) const;

    // Steps run once the window is shown after a login (the reminders).
    void addStartupStep(Action step);
    void runStartupSteps();

    // Closes the window for the next operator: hidden, marked as a handover,
    // the login window shown again, then closed.
    void handOver();

    // Shows a member in the member panel (installed by the member panel).
    void ShowMber(const QString &cardNumber);
    void setShowMber(std::function<void(const QString &)> show);

    // Switches panels as the navigation buttons do; false when refused.
    bool switchPanel(Panel panel);
    Panel currentPanel() const;
    void setTitle(const QString &shopName);

    // Screens are hooked in by the subsystems that own them: a tool button
    // (by object name; its picture runs the same action), a report icon or a
    // settings icon (by index).
    void setToolAction(const QString &button, Action action);
    void setReportAction(int index, Action action);
    void setSettingsAction(int index, Action action);

    // Business screens, by the name of the screen (FrmChongzhi, frmZz, ...),
    // each given the card number it works on. The member actions open them
    // once their checks pass; nothing happens for a screen not installed.
    using Screen = std::function<void(const QString &cardNumber)>;
    void setScreen(const QString &name, Screen screen);
    void openScreen(const QString &name, const QString &cardNumber);

    // Decides whether the window may close (the shift handover). Without a
    // guard, closing ends the program.
    void setCloseGuard(std::function<bool()> guard);

    QLabel *statusPanel(int n) const; // 1 to 6

Q_SIGNALS:
    // The window closed and the program ends.
    void programEnds();
    // The window closes for a handover: the login window takes over.
    void handedOver();
    // A panel was switched to (after the permission check passed).
    void panelShown(lanting::FrmMain::Panel panel);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void runTool(const QString &button);
    void onReportIcon(int index);
    void onSettingsIcon(int index);
    void markPanel(Panel panel);
    void refreshClock();
    static std::vector<std::function<void(FrmMain &)>> &extensions();

    Ui::FrmMain *m_ui;
    QTimer *m_clock;
    QLabel *m_status[6] = {};
    std::map<QString, Action> m_tools;
    std::map<int, Action> m_reports;
    std::map<int, Action> m_settings;
    std::map<QString, Screen> m_screens;
    std::function<bool()> m_closeGuard;
    std::vector<Action> m_startup;
    std::function<void(const QString &)> m_showMber;
};

} // namespace lanting
