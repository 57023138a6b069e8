#include "readerhost.h"

#include "cashdrawer.h"
#include "customerdisplay.h"

#include "amounts.h"
#include "appstate.h"
#include "cardrouting.h"
#include "cardsettings.h"
#include "database.h"
#include "frmcardset.h"
#include "frmmain.h"
#include "messages.h"
#include "pcsccardreader.h"
#include "serialcardreader.h"
#include "smswindows.h"
#include "sysinfo.h"
#include "ui.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{

void connectReader(FrmMain &main, CardReader &reader)
{
    QLabel *panel = main.statusPanel(3);
    auto show = [panel](const QString &text) {
        panel->setText(text);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    reader.setCardMode(2);
    show(u"正在从服务器上获取IC卡密码..."_s);
    QString key, port, baud;
    try {
        key = GetSysInfo(u"icpwd"_s);
        port = GetSysInfo(u"ckh"_s);
        baud = GetSysInfo(u"bt"_s);
    } catch (const DbError &e) {
        show(u"IC卡刷卡器连接失败！"_s);
        msgError(e.message());
        return;
    }
    reader.setCardKey(key);
    show(u"正在连接IC卡刷卡器..."_s);
    reader.setPortNo(double(NumVal(port).wholePart()));
    reader.setBaudRate(double(NumVal(baud).wholePart()));
    if (reader.OpenReader()) {
        show(u"IC卡刷卡器连接成功。"_s);
        main.findChild<QPushButton *>(u"cmdConnect"_s)->hide();
        reader.Beep(10);
    } else {
        show(u"IC卡刷卡器连接失败！"_s);
    }
}

} // namespace

void installReader(FrmMain &main)
{
    // Devices that fail on their own time say so in the status bar.
    setProblemSink([](const QString &what) { ui::tell(what); });
    showWelcome(); // the customer display, idle

    // The kind of reader is read once, as the card type is: a change takes
    // effect at the next start.
    CardSettings settings;
    try {
        settings = loadCardSettings();
    } catch (const DbError &) {
        // the serial reader, as delivered; connecting says what is wrong
    }
    CardReader *reader = nullptr;
    if (settings.cardType == 0 && settings.readerKind == 1) {
        auto *pcsc = new PcscCardReader(&main);
        pcsc->setReaderName(settings.readerName);
        pcsc->setUidOnly(settings.uidOnly);
        pcsc->setBlock(settings.block);
        reader = pcsc;
    } else {
        reader = new SerialCardReader(&main);
    }
    reader->setObjectName(u"Qzic"_s);
    QObject::connect(
        reader, &CardReader::CardRead, reader,
        [reader](int status, const QString &data) { handleCardRead(*reader, status, data); });
    QPointer<FrmMain> window(&main);
    QObject::connect(reader, &CardReader::Disconnected, &main, [window] {
        if (!window)
            return;
        window->findChild<QPushButton *>(u"cmdConnect"_s)->show();
        window->statusPanel(3)->setText(u"IC卡刷卡器连接已断开。"_s);
    });
    // The reader is let go as the shift ends, so that the next operator's
    // window can take the port at once.
    QObject::connect(&main, &FrmMain::handedOver, reader, &CardReader::CloseReader);
    QObject::connect(&main, &FrmMain::programEnds, reader, &CardReader::CloseReader);
    main.setToolAction(u"cmdConnect"_s, [window, reader] {
        if (window)
            connectReader(*window, *reader);
    });

    QPointer<CardReader> r(reader);
    ui::setReaderResetStep([r] {
        if (r)
            r->ReadEnabled(false);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (r)
            r->ReadEnabled(true);
    });

    main.setToolAction(u"cmdDxpt"_s, [window] {
        frmDxLogin dlg(window.data());
        ui::execModal(&dlg);
    });
    main.setToolAction(u"cmdDxMoban"_s, [window] {
        frmDxMoban dlg(window.data());
        ui::execModal(&dlg);
    });
    main.setSettingsAction(4, [window] {
        FrmCardset dlg(window.data());
        ui::execModal(&dlg);
    });
}

} // namespace lanting::devices
