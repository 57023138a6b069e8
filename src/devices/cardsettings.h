#pragma once

#include <QString>

namespace lanting::devices
{

// The card type and the reader's port, speed and sector key.
struct CardSettings {
    int cardType = 1; // 0 IC card, 1 magnetic stripe
    QString port, baud, key;
};

CardSettings loadCardSettings();

// Exactly 12 characters, each 0-9, A-F or a-f.
bool validSectorKey(const QString &key);

// Stores the settings: the key in upper case for IC cards, a port or speed
// whose numeric value is 0 as "0". All four or none.
void saveCardSettings(const CardSettings &settings);

} // namespace lanting::devices
