// Draws the program's icon at the sizes desktops use, as PNG files named
// <size>.png in the given folder: a teal card with the character 岚.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF card(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
        QPainterPath shape;
        shape.addRoundedRect(card, size * 0.18, size * 0.18);
        QLinearGradient fill(card.topLeft(), card.bottomRight());
        fill.setColorAt(0, QColor(0x1f, 0xa3, 0x9a));
        fill.setColorAt(1, QColor(0x0b, 0x6e, 0x79));
        p.fillPath(shape, fill);
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPixelSize(int(size * 0.6));
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(card, Qt::AlignCenter, QStringLiteral("岚"));
        p.end();
        if (!image.save(out.filePath(QStringLiteral("%1.png").arg(size))))
            return 1;
    }
    return 0;
}
