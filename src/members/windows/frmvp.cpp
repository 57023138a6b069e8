#include "frmvp.h"

#include "ui_frmvp.h"

#include <QPixmap>

namespace lanting::members
{

frmVP::frmVP(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmVP)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

frmVP::~frmVP()
{
    delete m_ui;
}

bool frmVP::load(const QString &path)
{
    QPixmap picture;
    if (path.isEmpty() || !picture.load(path))
        return false;
    m_ui->Pic->setPixmap(picture.scaled(QSize(640, 480).boundedTo(picture.size()),
                                        Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return true;
}

} // namespace lanting::members
