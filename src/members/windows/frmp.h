#pragma once

#include <QDialog>
#include <QImage>
#include <memory>

namespace Ui {
class frmP;
}

class QCamera;
class QImageCapture;
class QMediaCaptureSession;

namespace lanting::members {

// Takes a member's photo with the camera: live preview, a still frame saved
// as a bitmap named after the card number in the photo folder.
class frmP : public QDialog
{
    Q_OBJECT

public:
    explicit frmP(QWidget *parent = nullptr);
    ~frmP() override;

    void SetID(const QString &cardNumber);
    bool hasCamera() const { return m_camera != nullptr; }
    // Saves a frame as the member's photo (the camera's, or one handed in).
    bool keepFrame(const QImage &frame);

    bool clOK = false;
    QString PSave; // the photo folder, ending with a separator

private:
    void capture();
    void changeFolder();
    void confirm();
    void showFolder();

    Ui::frmP *m_ui;
    QString m_id;
    bool m_taken = false;
    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QImageCapture> m_capture;
};

} // namespace lanting::members
