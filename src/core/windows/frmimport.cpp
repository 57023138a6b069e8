#include "frmimport.h"

#include "ui_frmimport.h"

#include "database.h"
#include "messages.h"
#include "ui.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace lanting::ui
{

namespace
{

QString shown(const QVariant &v, FieldKind kind)
{
    if (!v.isValid())
        return {};
    switch (kind) {
    case FieldKind::Amount:
    case FieldKind::Whole:
        return FmtJe(v.value<Amount>());
    case FieldKind::Date: {
        const QDateTime when = v.toDateTime();
        return when.time() == QTime(0, 0) ? when.toString(u"yyyy-MM-dd"_s)
                                          : when.toString(u"yyyy-MM-dd hh:mm:ss"_s);
    }
    case FieldKind::Sex:
        return QStringList{u"未知"_s, u"男"_s, u"女"_s}.value(v.toInt());
    default:
        return v.toString();
    }
}

} // namespace

void ImportPreviewModel::setPlan(const ImportPlan *plan, bool problemsOnly)
{
    beginResetModel();
    m_plan = plan;
    m_rows.clear();
    m_fields.clear();
    if (plan) {
        for (int f = 0; f < plan->fields().size(); ++f)
            if (plan->column(f) >= 0)
                m_fields << f;
        for (int r = 0; r < plan->rows().size(); ++r)
            if (!problemsOnly || !plan->rows()[r].problems.isEmpty())
                m_rows << r;
    }
    endResetModel();
}

int ImportPreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ImportPreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_plan ? 0 : int(m_fields.size()) + 2;
}

QVariant ImportPreviewModel::data(const QModelIndex &index, int role) const
{
    if (!m_plan || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const ImportRow &row = m_plan->rows()[m_rows[index.row()]];
    if (role == Qt::BackgroundRole && !row.problems.isEmpty())
        return QColor(255, 220, 220);
    if (role == Qt::ForegroundRole && !row.problems.isEmpty() && index.column() == 1)
        return QColor(170, 0, 0);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (index.column() == 0)
        return row.line;
    if (index.column() == 1)
        return row.problems.join(u"；"_s);
    const int f = m_fields[index.column() - 2];
    const ImportField &field = m_plan->fields()[f];
    QString text = shown(row.values[f], field.kind);
    if (field.kind == FieldKind::Reference && row.values[f].isValid()) {
        const QString written = m_plan->referenceFor(text);
        if (written != text)
            text += u" → "_s + written;
    }
    return text;
}

QVariant ImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_plan)
        return {};
    if (section == 0)
        return u"行号"_s;
    if (section == 1)
        return u"问题"_s;
    if (section - 2 < m_fields.size())
        return m_plan->fields()[m_fields[section - 2]].label;
    return {};
}

FrmImport::FrmImport(QWidget *parent, const QString &what, const QString &referenceWord,
                     PlanMaker makePlan, Writer write)
    : QDialog(parent), m_ui(new Ui::FrmImport), m_what(what), m_referenceWord(referenceWord),
      m_makePlan(std::move(makePlan)), m_write(std::move(write))
{
    m_ui->setupUi(this);
    setWindowTitle(u"导入%1"_s.arg(what));
    m_ui->fraRefs->setTitle(u"文件中新的%1"_s.arg(referenceWord));
    m_ui->lvPreview->setModel(&m_model);
    m_ui->tblColumns->verticalHeader()->hide();
    m_ui->tblRefs->verticalHeader()->hide();
    for (QTableWidget *t : {m_ui->tblColumns, m_ui->tblRefs}) {
        t->horizontalHeader()->setStretchLastSection(true);
        t->setSelectionMode(QAbstractItemView::NoSelection);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    connect(m_ui->cmdFile, &QPushButton::clicked, this, &FrmImport::chooseFile);
    connect(m_ui->cmdImport, &QPushButton::clicked, this, &FrmImport::doImport);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->chkProblems, &QCheckBox::toggled, this,
            [this](bool on) { m_model.setPlan(m_plan.get(), on); });
    connect(m_ui->comEncoding, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_filling || m_path.isEmpty())
            return;
        const TextEncoding chosen = index == 1   ? TextEncoding::Utf8
                                    : index == 2 ? TextEncoding::Gb18030
                                                 : TextEncoding::Auto;
        if (readFile(m_path, chosen)) {
            m_encodingIndex = index;
            return;
        }
        m_filling = true; // the file as it was read stays: so does its choice
        m_ui->comEncoding->setCurrentIndex(m_encodingIndex);
        m_filling = false;
    });
    // Room for the longest of the texts it takes when a file is read.
    m_ui->comEncoding->setMinimumWidth(
        m_ui->comEncoding->fontMetrics().horizontalAdvance(u"自动识别（GB18030）"_s) + 40);
    resize(900, 600);
}

FrmImport::~FrmImport()
{
    delete m_ui;
}

bool FrmImport::chooseFile()
{
    QFileDialog dlg(this, u"选择要导入的%1资料"_s.arg(m_what));
    dlg.setObjectName(u"dlgImportFile"_s);
    dlg.setNameFilters({u"表格文件 (*.xls *.xlsx *.csv *.txt)"_s, u"所有文件 (*)"_s});
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    makeRoomy(&dlg);
    if (execModal(&dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    return openFile(dlg.selectedFiles().constFirst());
}

bool FrmImport::openFile(const QString &path)
{
    if (!readFile(path, TextEncoding::Auto))
        return false;
    m_filling = true;
    m_ui->comEncoding->setCurrentIndex(0);
    m_encodingIndex = 0;
    m_filling = false;
    return true;
}

bool FrmImport::runWithProgress(const QString &label,
                                const std::function<void(const SheetProgress &)> &work)
{
    QProgressDialog progress(label, u"取消"_s, 0, 100, this);
    progress.setObjectName(u"dlgProgress"_s);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    const SheetProgress tell = [&progress](int percent) {
        progress.setValue(std::clamp(percent, 0, 99));
        return !progress.wasCanceled();
    };
    try {
        work(tell);
    } catch (const SheetError &e) {
        msgNotice(e.message());
        return false;
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    } catch (const std::bad_alloc &) {
        msgNotice(u"文件太大，内存不足，请分成几个文件导入。"_s);
        return false;
    }
    return true;
}

bool FrmImport::readFile(const QString &path, TextEncoding encoding)
{
    std::unique_ptr<ImportPlan> plan;
    const bool read = runWithProgress(u"正在读取文件..."_s, [&](const SheetProgress &tell) {
        Sheet sheet = readSheet(path, encoding, [&tell](int p) { return tell(p / 2); });
        plan = std::make_unique<ImportPlan>(m_makePlan(std::move(sheet)));
        if (!plan->check([&tell](int p) { return tell(50 + p / 2); }))
            throw SheetError(u"已取消。"_s, true);
    });
    if (!read)
        return false;
    m_path = path;
    m_plan = std::move(plan);
    m_ui->lblFile->setText(QDir::toNativeSeparators(path));
    const bool csv = m_plan->sheet().kind == SheetKind::Csv;
    m_ui->comEncoding->setEnabled(csv);
    if (csv && m_ui->comEncoding->currentIndex() == 0)
        m_ui->comEncoding->setItemText(
            0, m_plan->sheet().encoding == TextEncoding::Gb18030 ? u"自动识别（GB18030）"_s
               : m_plan->sheet().encoding == TextEncoding::Utf16 ? u"自动识别（UTF-16）"_s
                                                                 : u"自动识别（UTF-8）"_s);
    showPlan();
    return true;
}

void FrmImport::showPlan()
{
    fillColumns();
    fillReferences();
    m_model.setPlan(m_plan.get(), m_ui->chkProblems->isChecked());
    const int total = int(m_plan->rows().size());
    const int problems = m_plan->problemRows();
    m_ui->lblSummary->setText(
        problems == 0
            ? u"共%1行，都可以导入。"_s.arg(total)
            : u"共%1行，其中%2行有问题（标为红色），这些行不会导入。"_s.arg(total).arg(problems));
    m_ui->cmdImport->setEnabled(total > problems);
    fitColumns(m_ui->lvPreview);
}

void FrmImport::fillColumns()
{
    m_filling = true;
    const QList<ImportField> &fields = m_plan->fields();
    QTableWidget *t = m_ui->tblColumns;
    t->setRowCount(int(fields.size()));
    for (int f = 0; f < fields.size(); ++f) {
        t->setItem(
            f, 0,
            new QTableWidgetItem(fields[f].label + (fields[f].required ? u" *"_s : QString())));
        auto *combo = qobject_cast<QComboBox *>(t->cellWidget(f, 1));
        if (!combo) {
            combo = new QComboBox(t);
            combo->setObjectName(u"comCol_"_s + fields[f].key);
            t->setCellWidget(f, 1, combo);
            connect(combo, &QComboBox::currentIndexChanged, this, [this, f](int index) {
                if (m_filling)
                    return;
                const QList<int> before = columns();
                m_plan->setColumn(f, index - 1);
                if (!recheck()) { // cancelled or failed: the match as it was
                    for (int g = 0; g < before.size(); ++g)
                        m_plan->setColumn(g, before[g]);
                    fillColumns();
                }
            });
        }
        combo->clear();
        combo->addItem(u"（不导入）"_s);
        combo->addItems(m_plan->sheet().headings);
        combo->setCurrentIndex(m_plan->column(f) + 1);
    }
    t->resizeColumnsToContents();
    m_filling = false;
}

void FrmImport::fillReferences()
{
    m_filling = true;
    const QMap<QString, QString> &fresh = m_plan->newReferences();
    QTableWidget *t = m_ui->tblRefs;
    t->setRowCount(0);
    t->setRowCount(int(fresh.size()));
    int row = 0;
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it, ++row) {
        t->setItem(row, 0, new QTableWidgetItem(it.key()));
        auto *combo = new QComboBox(t);
        combo->setObjectName(u"comRef_%1"_s.arg(row));
        combo->addItem(u"新建此%1"_s.arg(m_referenceWord));
        for (const QString &existing : m_plan->existingReferences())
            combo->addItem(u"归入“%1”"_s.arg(existing), existing);
        combo->setCurrentIndex(std::max(0, combo->findData(it.value())));
        const QString name = it.key();
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, name] {
            if (m_filling)
                return;
            m_plan->setNewReference(name, combo->currentData().toString());
            m_model.setPlan(m_plan.get(), m_ui->chkProblems->isChecked());
        });
        t->setCellWidget(row, 1, combo);
    }
    m_ui->fraRefs->setVisible(!fresh.isEmpty());
    t->resizeColumnsToContents();
    m_filling = false;
}

QList<int> FrmImport::columns() const
{
    QList<int> out;
    for (int f = 0; f < m_plan->fields().size(); ++f)
        out << m_plan->column(f);
    return out;
}

bool FrmImport::recheck()
{
    const bool checked = runWithProgress(u"正在检查..."_s, [this](const SheetProgress &tell) {
        if (!m_plan->check(tell))
            throw SheetError(u"已取消。"_s, true);
    });
    if (checked)
        showPlan();
    return checked;
}

void FrmImport::doImport()
{
    if (!m_plan)
        return;
    const int total = int(m_plan->rows().size());
    const int problems = m_plan->problemRows();
    if (problems > 0 &&
        !askYesNo(u"有%1行存在问题，不能导入。\n是否跳过这些行，只导入其余%2行？\n\n"
                  u"选择“否”则不导入任何数据，您可以修改文件后重新导入。"_s.arg(problems)
                      .arg(total - problems),
                  u"确认"_s, true))
        return;
    m_ui->cmdImport->setEnabled(false);
    ImportResult result;
    const QString fileName = QFileInfo(m_path).fileName();
    const bool done =
        runWithProgress(u"正在导入%1..."_s.arg(m_what), [&](const SheetProgress &tell) {
            result = m_write(*m_plan, fileName, tell);
        });
    m_ui->cmdImport->setEnabled(true);
    if (!done) {
        // A card or code taken at another till meanwhile shows as present.
        m_plan->forgetKeysPresent();
        recheck();
        return;
    }
    m_result = result;
    QString text = u"导入完成：%1%2%3"_s.arg(m_what)
                       .arg(result.rows)
                       .arg(m_what == u"会员" ? u"名"_s : u"种"_s);
    if (m_what == u"会员")
        text += u"，余额合计%1元，积分合计%2"_s.arg(FmtJe(result.amount), FmtJe(result.points));
    if (result.newReferences > 0)
        text += u"，新建%1%2个"_s.arg(m_referenceWord).arg(result.newReferences);
    msgSuccess(text + u"。"_s);
    accept();
}

} // namespace lanting::ui
