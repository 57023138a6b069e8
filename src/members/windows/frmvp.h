#pragma once

#include <QDialog>

namespace Ui
{
class frmVP;
}

namespace lanting::members
{

// The photo viewer.
class frmVP : public QDialog
{
    Q_OBJECT

public:
    explicit frmVP(QWidget *parent = nullptr);
    ~frmVP() override;
    // False when the file cannot be read as a picture.
    bool load(const QString &path);

private:
    Ui::frmVP *m_ui;
};

} // namespace lanting::members
