#pragma once

#include "importplan.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <memory>
#include <optional>

namespace Ui
{
class FrmImport;
}

namespace lanting::ui
{

// The rows of an import as the preview shows them: the row's number in the
// file, its problems, then the value of each field matched to a column.
class ImportPreviewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    void setPlan(const ImportPlan *plan, bool problemsOnly);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const ImportPlan *m_plan = nullptr;
    QList<int> m_rows;   // shown rows of the plan
    QList<int> m_fields; // shown fields, after the two fixed columns
};

// Members or goods brought in from a spreadsheet: the columns matched to the
// fields (changeable), new levels or categories created or put under
// existing ones, every row previewed with its problems, then all written at
// once or nothing.
class FrmImport : public QDialog
{
    Q_OBJECT

public:
    using PlanMaker = std::function<ImportPlan(Sheet)>;
    using Writer = std::function<ImportResult(const ImportPlan &, const QString &fileName,
                                              const SheetProgress &)>;

    // what: "会员" or "商品"; referenceWord: "等级" or "类别".
    FrmImport(QWidget *parent, const QString &what, const QString &referenceWord,
              PlanMaker makePlan, Writer write);
    ~FrmImport() override;

    // Reads the file and checks its rows; false, with the reason shown,
    // when it cannot be read.
    bool openFile(const QString &path);
    // Asks for a file; false when none was chosen or it cannot be read.
    bool chooseFile();

    const std::optional<ImportResult> &result() const { return m_result; }

private:
    bool readFile(const QString &path, TextEncoding encoding);
    void showPlan();
    void fillColumns();
    void fillReferences();
    bool recheck();
    QList<int> columns() const;
    void doImport();
    bool runWithProgress(const QString &label,
                         const std::function<void(const SheetProgress &)> &work);

    Ui::FrmImport *m_ui;
    QString m_what, m_referenceWord;
    PlanMaker m_makePlan;
    Writer m_write;
    QString m_path;
    std::unique_ptr<ImportPlan> m_plan;
    ImportPreviewModel m_model;
    std::optional<ImportResult> m_result;
    bool m_filling = false;
    int m_encodingIndex = 0;
};

} // namespace lanting::ui
