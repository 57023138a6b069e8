#pragma once

#include "charts.h"

#include <QWidget>
#include <functional>

class QChart;
class QChartView;
class QTreeView;

namespace Ui
{
class ReportChart;
}

namespace lanting::reports
{

// A report's chart beside its list: stacked bars and a line, a choice of
// what to draw where the report offers one, saved as a PNG picture and
// printed with the report.
class ReportChart : public QWidget
{
    Q_OBJECT

public:
    // Put to the right of the list, in its place, the two in a splitter; the
    // list knows its chart from then on, for printing.
    ReportChart(QTreeView *list, const QString &title);
    ~ReportChart() override;

    // What the chart draws of the list's query; drawn again each time the
    // list's query has run, and when another choice is made.
    using Maker = std::function<ChartData(const ReportModel &list, int choice)>;
    void setMaker(Maker make);
    void refresh();

    // A drop-down of what to draw (empty: none).
    void setChoices(const QStringList &choices);
    int choice() const;

    void draw(const ChartData &data);
    const ChartData &data() const { return m_data; }
    // The chart as a picture, 900 by 500 at twice the resolution.
    QImage picture() const;
    // Asks where and saves the picture; false when cancelled or failed.
    bool savePicture();

    // The chart a list was given, if any.
    static ReportChart *of(const QObject *list);

private:
    QChart *build(const ChartData &data) const;

    Ui::ReportChart *m_ui;
    QChartView *m_view;
    QTreeView *m_list;
    Maker m_make;
    QString m_title;
    ChartData m_data;
};

} // namespace lanting::reports
