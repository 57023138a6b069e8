#pragma once

// The goods settings window and its goods dialog.

#include <QDialog>

namespace Ui {
class FrmGoods;
class FrmAddGoods;
} // namespace Ui

class QAction;
class QMenu;
class QTreeWidgetItem;

namespace lanting::sales {

struct Goods;

class FrmAddGoods : public QDialog
{
    Q_OBJECT

public:
    explicit FrmAddGoods(QWidget *parent = nullptr);
    ~FrmAddGoods() override;
    // Preselects the category of that name (none when no entry matches).
    void selectCategory(const QString &name);
    // Edit mode: the fields from the goods, the code fixed.
    void setGoods(const Goods &goods);
    Goods goods() const;
    // The texts as typed (after the trimming of the confirmation).
    QString priceText(int column) const;
    bool IsOK = false;

private:
    void confirm();
    Ui::FrmAddGoods *m_ui;
};

class FrmGoods : public QDialog
{
    Q_OBJECT

public:
    explicit FrmGoods(QWidget *parent = nullptr);
    ~FrmGoods() override;

private:
    enum class Query { None, Category, Search };
    void categoryClicked();
    void find();
    void refill();
    void fill(const QList<Goods> &list);
    void showRow(QTreeWidgetItem *row, const Goods &goods);
    QTreeWidgetItem *selectedRow() const;
    void addGoods();
    void editGoods();
    void deleteGoods();
    void setEnabled(bool enabled);
    void addCategory();
    void deleteCategory();
    void discount();
    void exportList();
    void importGoods();
    void contextMenu(const QPoint &pos);

    Ui::FrmGoods *m_ui;
    QMenu *m_menu;
    Query m_query = Query::None;
    QString m_queryText; // the category or the search text of the last fill
};

} // namespace lanting::sales
