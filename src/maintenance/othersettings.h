#pragma once

// The shop's settings of the settings window, and the backup of the
// database into a folder.

#include <QString>

namespace lanting::maintenance
{

struct OtherSettings {
    QString fdmc;                          // shop name
    QString xiaoshu = QStringLiteral("2"); // decimals
    QString yuan, txtian;                  // yuan per point, birthday lead days
    bool kc = false;                       // selling without stock
    QString qxdk;                          // drawer port
    bool czsendm = false, xfsendm = false;
    bool boolprint = false;
    QString printer, bt1, bt2, jz1, jz2, dyfs;
    bool escpos = false;   // an ESC/POS printer instead of the system's
    QString escposAddress; // its device, network address or raw queue
    int paperMm = 58;      // 58 or 80 mm paper
    QString displayPort;   // the customer display's port, empty for none
};

OtherSettings loadOtherSettings();
// Writes every setting and updates what the running program keeps of them
// (decimals, points rate, drawer port, receipt printer, titles, footers,
// copies). Numeric texts of 0 (or empty, or not numbers) are stored as "0".
void saveOtherSettings(OtherSettings s);

// Whether the copies text is a whole number (blanks around allowed).
bool copiesValid(const QString &text);

inline constexpr char16_t kBackupName[] = u"qzdbbak.qdb";
// The folder path with a separator at its end.
QString withSeparator(const QString &folder);

} // namespace lanting::maintenance
