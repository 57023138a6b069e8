#include "frmp.h"

#include "ui_frmp.h"

#include "database.h"
#include "enrolment.h"
#include "messages.h"
#include "programfolder.h"
#include "ui.h"

#include <QCamera>
#include <QDir>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

frmP::frmP(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmP)
{
    m_ui->setupUi(this);
    m_ui->P1->setFixedSize(320, 240);
    m_ui->P2->setFixedSize(320, 240);
    connect(m_ui->cmdPz, &QPushButton::clicked, this, &frmP::capture);
    connect(m_ui->cmdB, &QPushButton::clicked, this, &frmP::changeFolder);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmP::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

frmP::~frmP()
{
    if (m_camera)
        m_camera->stop();
    delete m_ui;
}

void frmP::SetID(const QString &cardNumber)
{
    m_id = cardNumber;
    clOK = false;
    m_taken = false;
    try {
        PSave = photoFolder();
    } catch (const DbError &e) {
        msgError(e.message());
    }
    showFolder();

    const QList<QCameraDevice> cameras = QMediaDevices::videoInputs();
    if (cameras.isEmpty()) {
        m_ui->lblCamera->setText(u"没有找到摄像头，不能拍照。可以用“选择照片”指定照片文件。"_s);
        m_ui->cmdPz->setEnabled(false);
        return;
    }
    m_session = std::make_unique<QMediaCaptureSession>();
    m_camera = std::make_unique<QCamera>(QMediaDevices::defaultVideoInput());
    m_capture = std::make_unique<QImageCapture>();
    m_session->setCamera(m_camera.get());
    m_session->setImageCapture(m_capture.get());
    m_session->setVideoOutput(m_ui->P1);
    connect(m_capture.get(), &QImageCapture::imageCaptured, this,
            [this](int, const QImage &frame) { keepFrame(frame); });
    connect(m_capture.get(), &QImageCapture::errorOccurred, this,
            [this](int, QImageCapture::Error, const QString &text) {
                m_ui->lblCamera->setText(u"拍照失败："_s + text);
            });
    connect(m_camera.get(), &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString &text) {
                m_ui->lblCamera->setText(u"摄像头出错："_s + text);
                m_ui->cmdPz->setEnabled(false);
            });
    m_ui->lblCamera->setText(cameras.constFirst().description());
    m_camera->start();
}

void frmP::showFolder()
{
    m_ui->lblPath->setText(u"照片保存路径："_s + PSave);
}

void frmP::capture()
{
    if (m_capture && m_capture->isReadyForCapture())
        m_capture->capture();
    else
        m_ui->lblCamera->setText(u"摄像头还没有准备好，请稍候再拍。"_s);
}

bool frmP::keepFrame(const QImage &frame)
{
    const QString file = PSave + m_id + u".bmp"_s;
    if (!PSave.isEmpty())
        privateFolder(PSave);
    if (frame.isNull() || !frame.save(file, "BMP") || !ownerOnly(file)) {
        m_ui->lblCamera->setText(u"照片没有保存成功：%1"_s.arg(file));
        return false;
    }
    m_ui->P2->setPixmap(QPixmap::fromImage(frame).scaled(m_ui->P2->size(), Qt::KeepAspectRatio,
                                                         Qt::SmoothTransformation));
    m_taken = true;
    return true;
}

void frmP::changeFolder()
{
    const QString folder = ui::SelectFolder(this, u"请选择会员照片保存路径："_s);
    if (folder.isEmpty())
        return;
    try {
        setPhotoFolder(folder);
        PSave = photoFolder();
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    showFolder();
}

void frmP::confirm()
{
    if (!m_taken) {
        msgNotice(u"请先拍照！"_s);
        return;
    }
    clOK = true;
    accept();
}

} // namespace lanting::members
