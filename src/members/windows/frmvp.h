#pragma once

#include <QDialog>

namespace Ui
{
class FrmVP;
}

namespace lanting::members
{

// The photo viewer.
class FrmVP : public QDialog
{
    Q_OBJECT

public:
    explicit FrmVP(QWidget *parent = nullptr);
    ~FrmVP() override;
    // False when the file cannot be read as a picture.
    bool load(const QString &path);

private:
    Ui::FrmVP *m_ui;
};

} // namespace lanting::members
