#pragma once

// The recharge rules: bands and level ratios edited in memory and written
// together by "确定(&O)".

#include <QDialog>

namespace Ui
{
class FrmCzgz;
class FrmAddcz1;
class FrmAddcz2;
} // namespace Ui

namespace lanting::stored_value
{

class FrmAddcz1 : public QDialog
{
    Q_OBJECT

public:
    explicit FrmAddcz1(QWidget *parent = nullptr);
    ~FrmAddcz1() override;
    void setBand(const QStringList &cells); // edit mode
    QStringList band() const;               // the three cells, shortest form
    bool IsOK = false;

private:
    Ui::FrmAddcz1 *m_ui;
};

class FrmAddcz2 : public QDialog
{
    Q_OBJECT

public:
    FrmAddcz2(const QString &level, const QString &ratio, QWidget *parent = nullptr);
    ~FrmAddcz2() override;
    QString ratio() const;
    bool IsOK = false;

private:
    Ui::FrmAddcz2 *m_ui;
};

class FrmCzgz : public QDialog
{
    Q_OBJECT

public:
    explicit FrmCzgz(QWidget *parent = nullptr);
    ~FrmCzgz() override;

private:
    void modeChanged();
    void addBand();
    void editBand();
    void deleteBand();
    void editRatio();
    void save();

    Ui::FrmCzgz *m_ui;
};

} // namespace lanting::stored_value
