// Writes the spreadsheet template of the report export to the file named.

#include "xlsbook.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QFile out(QString::fromLocal8Bit(argv[1]));
    const QByteArray book = lanting::reports::defaultTemplate();
    if (!out.open(QIODevice::WriteOnly) || out.write(book) != book.size())
        return 1;
    return 0;
}
