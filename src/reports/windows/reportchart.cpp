#include "reportchart.h"

#include "ui_reportchart.h"

#include "database.h"
#include "messages.h"
#include "ui.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLayout>
#include <QLineSeries>
#include <QSaveFile>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTreeView>
#include <QValueAxis>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

constexpr char kChartProperty[] = "lantingReportChart";

// Drawing only: the figures themselves stay exact amounts.
double drawn(Amount a)
{
    return double(a.raw()) / double(Amount::kUnit);
}

} // namespace

ReportChart::ReportChart(QTreeView *list, const QString &title)
    : QWidget(nullptr), m_ui(new Ui::ReportChart), m_view(new QChartView(this)), m_list(list),
      m_title(title)
{
    m_ui->setupUi(this);
    m_view->setObjectName(u"chartView"_s);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(360, 240);
    m_ui->layChart->addWidget(m_view, 1);
    m_ui->comChartBy->hide();
    connect(m_ui->comChartBy, &QComboBox::currentIndexChanged, this, &ReportChart::refresh);
    connect(m_ui->cmdChartPng, &QPushButton::clicked, this, &ReportChart::savePicture);

    // In the list's place: the list and the chart side by side.
    QWidget *parent = list->parentWidget();
    auto *splitter = new QSplitter(Qt::Horizontal, parent);
    splitter->setObjectName(list->objectName() + u"Split"_s);
    if (QLayout *layout = parent ? parent->layout() : nullptr) {
        delete layout->replaceWidget(list, splitter);
    }
    splitter->addWidget(list);
    splitter->addWidget(this);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setCollapsible(1, false); // a chart that cannot be seen would print blank
    list->setProperty(kChartProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    draw({});
}

ReportChart::~ReportChart()
{
    delete m_ui;
}

ReportChart *ReportChart::of(const QObject *list)
{
    return list ? qobject_cast<ReportChart *>(list->property(kChartProperty).value<QObject *>())
                : nullptr;
}

void ReportChart::setChoices(const QStringList &choices)
{
    const QSignalBlocker quiet(m_ui->comChartBy);
    m_ui->comChartBy->clear();
    m_ui->comChartBy->addItems(choices);
    m_ui->comChartBy->setVisible(!choices.isEmpty());
    int widest = 0;
    for (const QString &c : choices)
        widest = std::max(widest, m_ui->comChartBy->fontMetrics().horizontalAdvance(c));
    m_ui->comChartBy->setMinimumWidth(widest + 40);
}

void ReportChart::setMaker(Maker make)
{
    m_make = std::move(make);
}

void ReportChart::refresh()
{
    const auto *model = qobject_cast<const ReportModel *>(m_list->model());
    if (!m_make || !model || model->rowCount() == 0) {
        draw({});
        return;
    }
    try {
        draw(m_make(*model, choice()));
    } catch (const DbError &e) {
        draw({});
        ui::tell(u"图表没有画出：%1"_s.arg(e.message()));
    }
}

int ReportChart::choice() const
{
    return m_ui->comChartBy->currentIndex();
}

QChart *ReportChart::build(const ChartData &data) const
{
    auto *chart = new QChart;
    chart->setTitle(m_title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *bars = new QStackedBarSeries(chart);
    for (const ChartSeries &s : data.bars) {
        auto *set = new QBarSet(s.name, bars);
        for (Amount a : s.values)
            *set << drawn(a);
        bars->append(set);
    }
    chart->addSeries(bars);
    auto *categories = new QBarCategoryAxis(chart);
    categories->append(data.categories);
    // Many days: the names turned, smaller.
    if (data.categories.size() > 12) {
        categories->setLabelsAngle(-90);
        QFont small = categories->labelsFont();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        categories->setLabelsFont(small);
    }
    chart->addAxis(categories, Qt::AlignBottom);
    bars->attachAxis(categories);
    auto *values = new QValueAxis(chart);
    values->setLabelFormat(u"%.0f"_s);
    chart->addAxis(values, Qt::AlignLeft);
    bars->attachAxis(values);
    // Room for every bar, those below 0 (a loss) as well.
    double top = 0, bottom = 0;
    for (int i = 0; i < data.categories.size(); ++i) {
        double up = 0, down = 0;
        for (const ChartSeries &s : data.bars)
            (s.values.value(i) < Amount(0) ? down : up) += drawn(s.values.value(i));
        top = std::max(top, up);
        bottom = std::min(bottom, down);
    }
    if (data.line) {
        auto *line = new QLineSeries(chart);
        line->setName(data.line->name);
        for (int i = 0; i < data.line->values.size(); ++i) {
            line->append(i, drawn(data.line->values[i]));
            top = std::max(top, drawn(data.line->values[i]));
            bottom = std::min(bottom, drawn(data.line->values[i]));
        }
        chart->addSeries(line);
        line->attachAxis(categories);
        line->attachAxis(values);
    }
    values->setRange(bottom * 1.1, top > 0 ? top * 1.1 : 1);
    values->applyNiceNumbers();
    return chart;
}

void ReportChart::draw(const ChartData &data)
{
    m_data = data;
    QChart *old = m_view->chart();
    m_view->setChart(build(data));
    delete old;
}

QImage ReportChart::picture() const
{
    // Drawn afresh at a size fit for a page or a file, whatever room the
    // chart has on the screen, at twice the resolution, on white.
    QChartView view(build(m_data));
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(900, 500);
    view.show();
    QCoreApplication::sendPostedEvents();
    QImage image(QSize(900, 500) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.render(&painter);
    return image;
}

bool ReportChart::savePicture()
{
    QFileDialog dlg(window(), u"导出图片"_s);
    dlg.setObjectName(u"dlgChartPng"_s);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(u"PNG图片 (*.png)"_s);
    dlg.setDefaultSuffix(u"png"_s);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.selectFile(m_title + u".png"_s);
    ui::makeRoomy(&dlg);
    if (ui::execModal(&dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    QString path = dlg.selectedFiles().constFirst();
    if (!path.endsWith(u".png"_s, Qt::CaseInsensitive))
        path += u".png"_s;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture().save(&file, "PNG") || !file.commit()) {
        msgError(u"图片没有保存：%1"_s.arg(file.errorString()));
        return false;
    }
    ui::tell(u"图片已保存：%1"_s.arg(QDir::toNativeSeparators(path)));
    return true;
}

} // namespace lanting::reports
