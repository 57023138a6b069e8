#include "frmgj.h"

#include "ui_frmgj.h"

namespace lanting::members
{

frmGj::frmGj(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmGj)
{
    m_ui->setupUi(this);
    m_ui->comSex->setCurrentIndex(0);
    const std::pair<QCheckBox *, QLineEdit *> boxes[] = {{m_ui->chkID, m_ui->txtID},
                                                         {m_ui->chkName, m_ui->txtName},
                                                         {m_ui->chkTel, m_ui->txtTel},
                                                         {m_ui->chkZjhm, m_ui->txtZjhm}};
    for (const auto &[box, field] : boxes)
        connect(box, &QCheckBox::toggled, field, [field = field](bool on) {
            if (on)
                field->setFocus();
        });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

frmGj::~frmGj()
{
    delete m_ui;
}

MemberFilter frmGj::filter() const
{
    MemberFilter f;
    f.kind = MemberFilter::Advanced;
    auto text = [](const QCheckBox *box, const QLineEdit *field) -> std::optional<QString> {
        if (box->isChecked() && !field->text().isEmpty())
            return field->text();
        return std::nullopt;
    };
    f.id = text(m_ui->chkID, m_ui->txtID);
    f.name = text(m_ui->chkName, m_ui->txtName);
    f.tel = text(m_ui->chkTel, m_ui->txtTel);
    f.zjhm = text(m_ui->chkZjhm, m_ui->txtZjhm);
    if (m_ui->chkSex->isChecked())
        f.sex = m_ui->comSex->currentIndex();
    if (m_ui->chkZjlx->isChecked() && !m_ui->comZjlx->currentText().isEmpty())
        f.zjlx = m_ui->comZjlx->currentText();
    return f;
}

} // namespace lanting::members
