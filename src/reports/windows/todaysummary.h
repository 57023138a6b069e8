#pragma once

#include "summary.h"

#include <QGroupBox>

namespace Ui
{
class TodaySummary;
}

namespace lanting::reports
{

// The first thing the reports panel shows: today's figures beside those of
// the same weekday last week, and the goods sold most today.
class TodaySummary : public QGroupBox
{
    Q_OBJECT

public:
    explicit TodaySummary(QWidget *parent = nullptr);
    ~TodaySummary() override;

    // Reads the figures again (when the panel is shown, and on "刷新").
    void refresh();

private:
    void show(const DayFigures &today, const DayFigures &lastWeek,
              const QHash<QString, Amount> &soldLastWeek);

    Ui::TodaySummary *m_ui;
};

} // namespace lanting::reports
