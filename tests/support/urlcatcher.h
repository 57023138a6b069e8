#pragma once

// Takes the addresses the program hands to the desktop to open:
//   UrlCatcher c; QDesktopServices::setUrlHandler(u"file"_s, &c, "open");

#include <QList>
#include <QObject>
#include <QUrl>

namespace lanting::test
{

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

} // namespace lanting::test
