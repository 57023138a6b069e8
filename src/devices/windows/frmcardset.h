#pragma once

#include <QDialog>

namespace Ui
{
class FrmCardset;
}

namespace lanting::devices
{

// The card settings: card type, the reader (a serial one with its port and
// speed, or a PC/SC one with its name and what it reads), the sector key.
class FrmCardset : public QDialog
{
    Q_OBJECT

public:
    explicit FrmCardset(QWidget *parent = nullptr);
    ~FrmCardset() override;

private:
    void save();
    void typeChanged();

    Ui::FrmCardset *m_ui;
};

} // namespace lanting::devices
